#pragma once

#include <QByteArray>
#include <QList>

namespace vellamor::platform {

// Which X11 selection targets carry what the user copied, by name.
namespace SelectionTargets {

// A request for one of these asks for the text itself.
bool isText(const QByteArray& target);

// The targets of an owner worth reading to put its contents back later, in
// the owner's order. Left out: the targets that describe the transfer
// rather than the content (TARGETS, MULTIPLE, TIMESTAMP, SAVE_TARGETS and
// the other upper-case names, which yield the owner's bookkeeping), Qt's
// internal image alias, and every image format but one: owners encode an
// image anew for each format asked, which takes some of them seconds each.
QList<QByteArray> worthKeeping(const QList<QByteArray>& offered);

} // namespace SelectionTargets

} // namespace vellamor::platform
