#pragma once

namespace vellamor {

// The colour family of a status capsule.
enum class PillTone { neutral, info, success, warning, danger };

} // namespace vellamor
