# The classic window, offscreen, through the adapter: $IAP_WINDOW_RUN names what it does (see
# tests/vm/window.cpp).
. "$IAP_VM_LIB"
settle
record window "$IAP_VM_WINDOW" $IAP_WINDOW_RUN
