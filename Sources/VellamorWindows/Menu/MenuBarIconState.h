#pragma once

namespace vellamor {

// What the status item's icon shows.
enum class MenuBarIconState { idle, recording, processing, needsSetup, error };

} // namespace vellamor
