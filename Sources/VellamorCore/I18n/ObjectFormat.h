#pragma once

#include <QString>
#include <QStringList>

namespace vellamor {

// Fills a printf-style format whose arguments are all objects (texts):
// "%@" takes the next argument, "%n$@" the n-th (from 1), and "%%" is a
// percent sign. A translation may therefore reorder its arguments. Any other
// "%" sequence is copied as it is; a reference to a missing argument gives
// nothing.
QString formatWithObjects(const QString& format, const QStringList& arguments);

} // namespace vellamor
