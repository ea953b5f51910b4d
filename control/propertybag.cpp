#include "control/propertybag.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QJsonParseError>

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <limits>

namespace quivex {

using platform::LONG;

void PropertyBag::write(const QString &name, const QVariant &value) {
    for (auto &e : m_entries)
        if (e.name == name) {
            e.value = value;
            return;
        }
    m_entries.push_back(Entry{name, value});
}

QVariant PropertyBag::read(const QString &name) const {
    for (const auto &e : m_entries)
        if (e.name == name)
            return e.value;
    return {};
}

bool PropertyBag::contains(const QString &name) const {
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [&](const Entry &e) { return e.name == name; });
}

void PropertyBag::remove(const QString &name) {
    std::erase_if(m_entries, [&](const Entry &e) { return e.name == name; });
}

QStringList PropertyBag::names() const {
    QStringList out;
    for (const auto &e : m_entries)
        out << e.name;
    return out;
}

QVariantMap PropertyBag::toVariantMap() const {
    QVariantMap map;
    for (const auto &e : m_entries)
        map.insert(e.name, e.value);
    return map;
}

PropertyBag PropertyBag::fromVariantMap(const QVariantMap &map) {
    PropertyBag bag;
    for (auto it = map.cbegin(); it != map.cend(); ++it)
        bag.write(it.key(), it.value());
    return bag;
}

QJsonDocument PropertyBag::toJson() const {
    QJsonArray entries;
    for (const auto &e : m_entries)
        entries.append(QJsonObject{{QStringLiteral("name"), e.name},
                                   {QStringLiteral("value"), QJsonValue::fromVariant(e.value)}});
    return QJsonDocument(entries);
}

std::optional<PropertyBag> PropertyBag::fromJson(const QJsonDocument &document) {
    if (!document.isArray())
        return std::nullopt;
    PropertyBag bag;
    for (const QJsonValue &item : document.array()) {
        if (!item.isObject())
            return std::nullopt;
        const QJsonObject entry = item.toObject();
        const QJsonValue name = entry.value(QStringLiteral("name"));
        if (!name.isString())
            return std::nullopt;
        if (!bag.contains(name.toString()))
            bag.write(name.toString(), entry.value(QStringLiteral("value")).toVariant());
    }
    return bag;
}

std::optional<PropertyBag> PropertyBag::fromJson(const QByteArray &text) {
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError)
        return std::nullopt;
    return fromJson(document);
}

namespace {

// A whole number the value holds exactly: integers of any width, and floating-point values
// without a fraction (JSON gives numbers back as doubles). Booleans and text are no numbers.
std::optional<long long> wholeNumber(const QVariant &v) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::Short:
    case QMetaType::SChar:
    case QMetaType::Long:
    case QMetaType::LongLong:
        return v.toLongLong();
    case QMetaType::UInt:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::ULong:
    case QMetaType::ULongLong: {
        const qulonglong u = v.toULongLong();
        if (u > static_cast<qulonglong>(std::numeric_limits<long long>::max()))
            return std::nullopt;
        return static_cast<long long>(u);
    }
    case QMetaType::Double:
    case QMetaType::Float: {
        const double d = v.toDouble();
        // 2^62 keeps the conversion to long long defined; every range checked below is smaller.
        if (!std::isfinite(d) || d != std::trunc(d) || std::fabs(d) > 0x1p62)
            return std::nullopt;
        return static_cast<long long>(d);
    }
    default:
        return std::nullopt;
    }
}

std::optional<LONG> longValue(const QVariant &v) {
    const auto n = wholeNumber(v);
    if (!n || *n < std::numeric_limits<LONG>::min() || *n > std::numeric_limits<LONG>::max())
        return std::nullopt;
    return static_cast<LONG>(*n);
}

std::optional<double> numberValue(const QVariant &v) {
    switch (v.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return v.toDouble();
    default:
        if (const auto n = wholeNumber(v))
            return static_cast<double>(*n);
        return std::nullopt;
    }
}

} // namespace

void exchangeLong(PropertyBag &bag, bool loading, const QString &name, LONG &value, LONG fallback) {
    if (!loading) {
        bag.write(name, QVariant(static_cast<qint32>(value)));
        return;
    }
    value = longValue(bag.read(name)).value_or(fallback);
}

void exchangeBool(PropertyBag &bag, bool loading, const QString &name, platform::BOOL &value,
                  bool fallback) {
    if (!loading) {
        bag.write(name, QVariant(value != 0));
        return;
    }
    const QVariant v = bag.read(name);
    if (v.typeId() == QMetaType::Bool)
        value = v.toBool() ? 1 : 0;
    else if (const auto n = longValue(v))
        value = *n != 0 ? 1 : 0;
    else
        value = fallback ? 1 : 0;
}

void exchangeShort(PropertyBag &bag, bool loading, const QString &name, platform::SHORT &value,
                   platform::SHORT fallback) {
    if (!loading) {
        bag.write(name, QVariant(static_cast<qint32>(value)));
        return;
    }
    const auto n = longValue(bag.read(name));
    value = n ? static_cast<platform::SHORT>(*n) : fallback;
}

void exchangeFloat(PropertyBag &bag, bool loading, const QString &name, float &value,
                   float fallback) {
    if (!loading) {
        bag.write(name, QVariant(value));
        return;
    }
    const auto d = numberValue(bag.read(name));
    if (!d) {
        value = fallback;
        return;
    }
    // A double beyond the float range has no float value; it is taken as the infinity it
    // would round to, never converted out of range.
    if (std::isfinite(*d) && std::fabs(*d) > FLT_MAX)
        value = *d > 0 ? std::numeric_limits<float>::infinity()
                       : -std::numeric_limits<float>::infinity();
    else
        value = static_cast<float>(*d);
}

void exchangeString(PropertyBag &bag, bool loading, const QString &name, std::string &value,
                    const std::string &fallback) {
    if (!loading) {
        bag.write(name, QVariant(QString::fromStdString(value)));
        return;
    }
    const QVariant v = bag.read(name);
    value = v.typeId() == QMetaType::QString ? v.toString().toStdString() : fallback;
}

void exchangeColor(PropertyBag &bag, bool loading, const QString &name, std::uint32_t &value,
                   std::uint32_t fallback) {
    if (!loading) {
        bag.write(name, QVariant(static_cast<quint32>(value)));
        return;
    }
    const auto n = wholeNumber(bag.read(name));
    if (!n || *n < std::numeric_limits<std::int32_t>::min() ||
        *n > std::numeric_limits<std::uint32_t>::max()) {
        value = fallback;
        return;
    }
    value = static_cast<std::uint32_t>(*n); // modulo 2^32: a negative I4 keeps its bits
}

} // namespace quivex
