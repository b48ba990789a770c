#include "Networking/HTTPHeaders.h"

#include <QStringList>

namespace vellamor {

HTTPHeaders::HTTPHeaders(std::initializer_list<Field> fields)
{
    for (const auto& [name, value] : fields)
        set(name, value);
}

qsizetype HTTPHeaders::indexOf(const QString& name) const
{
    for (qsizetype i = 0; i < fields_.size(); ++i) {
        if (fields_[i].first.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void HTTPHeaders::set(const QString& name, const QString& value)
{
    const qsizetype index = indexOf(name);
    if (index < 0)
        fields_.append({name, value});
    else
        fields_[index] = {name, value};
}

std::optional<QString> HTTPHeaders::value(const QString& name) const
{
    const qsizetype index = indexOf(name);
    if (index < 0)
        return std::nullopt;
    return fields_[index].second;
}

bool HTTPHeaders::contains(const QString& name) const
{
    return indexOf(name) >= 0;
}

bool HTTPHeaders::remove(const QString& name)
{
    const qsizetype index = indexOf(name);
    if (index < 0)
        return false;
    fields_.removeAt(index);
    return true;
}

QStringList HTTPHeaders::names() const
{
    QStringList names;
    names.reserve(fields_.size());
    for (const auto& field : fields_)
        names.append(field.first);
    return names;
}

} // namespace vellamor
