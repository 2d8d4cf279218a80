// The embedded images: the blank board picture "initialize_ban" and the 15
// cell images "none" .. "uma", reachable as ":/images/<name>.png".
#pragma once

namespace zelvaro {

// Registers the embedded images with Qt's resource system. A static library's
// resources are not registered by themselves; call this before the first
// LoadImageResource. Safe to call more than once.
void InitResources();

}  // namespace zelvaro
