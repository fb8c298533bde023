# The classic window, offscreen, downloads through the adapter.
. "$IAP_VM_LIB"
settle
record window "$IAP_WINDOW_DOWNLOAD" "$RESULTS/app.bin"
