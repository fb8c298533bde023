#pragma once

namespace iap {

// The exchanges a device's bootloader takes part in, each opened by its own command.
enum class OperationKind { Download, FlashWrite, FlashRead };

}  // namespace iap
