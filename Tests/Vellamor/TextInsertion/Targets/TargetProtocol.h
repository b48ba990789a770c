#pragma once

// What the target programs of the text-insertion desktop tests share.
// Started as "<program> <widget> <text> <prefix> <chosen>", a program shows
// one field holding <text>, with <chosen> selected right after <prefix>
// (nothing chosen: the caret there), announces "ready <window id>" ("ready 0":
// the test finds the window by process), and then writes "<focused 0|1>
// <text>" (tab-separated) on standard output at every change of either,
// until it is killed. Texts are UTF-8; a report is one line, so the field's
// line breaks show as '|'.

#include <algorithm>
#include <iostream>
#include <string>

namespace vellamor::target {

inline void say(const std::string& line)
{
    std::cout << line << std::endl;
}

// `focused`: the window is active and the field has the focus.
inline void report(bool focused, std::string text)
{
    std::replace(text.begin(), text.end(), '\n', '|');
    say((focused ? "1\t" : "0\t") + text);
}

} // namespace vellamor::target
