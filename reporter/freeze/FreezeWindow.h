// Which window the freeze watcher probes. Any window of the main thread is
// answered by that thread's message loop; the watcher prefers the program's
// application window (visible, owned by no window, not a tool window unless
// it also has the application-window style) and otherwise takes a visible
// window of the main thread whatever its owner: in the player every form is
// owned by the class library's hidden application window, so no form passes
// the application-window test. Portable.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

constexpr std::uint32_t kToolWindowStyle = 0x80;    // WS_EX_TOOLWINDOW
constexpr std::uint32_t kAppWindowStyle = 0x40000;  // WS_EX_APPWINDOW

// The application-window test: a window owned by the desktop window counts as
// owned by none.
bool IsApplicationWindowStyle(bool visible, bool owned, std::uint32_t exStyle);

// What the watcher knows of one top-level window of the process.
struct TFreezeWindowFacts {
  bool Visible = false;
  bool Owned = false;  // by a window other than the desktop
  std::uint32_t ExStyle = 0;
  bool OfMainThread = false;
};

// The index of the window to probe among the process's top-level windows in
// the system's enumeration order: the first application window of the main
// thread, else its first visible window that would pass the test if it had
// no owner; none while the main thread shows no such window.
std::optional<std::size_t> ChooseFreezeWindow(const std::vector<TFreezeWindowFacts>& windows);
