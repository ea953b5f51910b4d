// The properties a container saves for a control and gives back when it loads it: named
// values kept in the order they were written, as a property bag or a stream keeps them.
#pragma once

#include "platform/wintypes.h"

#include <QJsonDocument>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <optional>
#include <vector>

namespace quivex {

class PropertyBag {
public:
    struct Entry {
        QString name;
        QVariant value;
    };

    // A name already in the bag keeps its place and takes the new value; a new name goes to
    // the end. Names compare exactly (the exchange writes each name once, in one spelling).
    void write(const QString &name, const QVariant &value);
    // The value of `name`, or an invalid QVariant when the bag has none.
    QVariant read(const QString &name) const;
    bool contains(const QString &name) const;
    void remove(const QString &name);
    void clear() { m_entries.clear(); }

    const std::vector<Entry> &entries() const { return m_entries; }
    QStringList names() const;
    bool isEmpty() const { return m_entries.empty(); }

    // A QVariantMap orders by name, so the exchange order is lost on the way there; reading
    // is by name, so nothing else is.
    QVariantMap toVariantMap() const;
    static PropertyBag fromVariantMap(const QVariantMap &map);

    // JSON keeps the order: an array of {"name": ..., "value": ...} objects. Numbers come back
    // as JSON numbers (the typed reads below accept them); a document of any other shape, or an
    // entry without a text name, is refused as a whole (nullopt). A repeated name keeps its
    // first value.
    QJsonDocument toJson() const;
    static std::optional<PropertyBag> fromJson(const QJsonDocument &document);
    static std::optional<PropertyBag> fromJson(const QByteArray &text);

private:
    std::vector<Entry> m_entries;
};

// One property in both directions, in the manner of the framework's exchange functions: on
// saving the value is written under `name`; on loading it is read, and a missing entry or one
// of the wrong type gives `fallback`. Loaded values are taken as they stand: no range check.
//   long    - any integer, or a number with no fraction, within the 32-bit range;
//   bool    - a boolean, or such an integer (non-zero is true); stored as a boolean;
//   short   - as long, keeping the low 16 bits (as an Appearance put does);
//   float   - any number;
//   string  - text only;
//   colour  - an integer from -2^31 to 2^32 - 1, taken as its 32 bits (0x800000nn system
//             colours reach a host as negative I4); stored unsigned.
void exchangeLong(PropertyBag &bag, bool loading, const QString &name, platform::LONG &value,
                  platform::LONG fallback);
void exchangeBool(PropertyBag &bag, bool loading, const QString &name, platform::BOOL &value,
                  bool fallback);
void exchangeShort(PropertyBag &bag, bool loading, const QString &name, platform::SHORT &value,
                   platform::SHORT fallback);
void exchangeFloat(PropertyBag &bag, bool loading, const QString &name, float &value,
                   float fallback);
void exchangeString(PropertyBag &bag, bool loading, const QString &name, std::string &value,
                    const std::string &fallback);
void exchangeColor(PropertyBag &bag, bool loading, const QString &name, std::uint32_t &value,
                   std::uint32_t fallback);

} // namespace quivex
