#include "components/lingmod/lingmod.h"

#include <QAbstractButton>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QRegularExpression>
#include <QVariant>
#include <QWidget>

#include <map>
#include <mutex>
#include <optional>
#include <tuple>

namespace lingmod {

namespace {

using Key = std::tuple<Language, QString, LONG, LONG>;

struct Handle {
    Language language;
    QString prefix;
    QString module;
    LONG instance;
};

// The built-in strings. Section 30004 holds the control's message texts (10 to 12) and
// the captions of its property page, numbered by their control identifiers.
struct Builtin {
    LONG number;
    const char *german;
    const char *english;
    const char *portuguese;
};

constexpr Builtin kControlStrings[] = {
    {10, "Videoanzeige", "Video view", "Visualização de vídeo"},
    {11, "Die Datei ist keine Rohbilddatei (FRM).", "The file is not a raw frame file (FRM).",
     "O arquivo não é um arquivo de quadros brutos (FRM)."},
    {12, "Die Version dieser Rohbilddatei wird nicht unterstützt.",
     "The version of this raw frame file is not supported.",
     "A versão deste arquivo de quadros brutos não é suportada."},
    {100, "Eigenschaften", "Properties", "Propriedades"},
    {1005, "H&intergrundfarbe", "Back&ground colour", "Cor de &fundo"},
    {211, "Linienbreite", "Line width", "Largura da linha"},
    {224, "3D-Effekt", "3-D effect", "Efeito 3D"},
    {209, "&Bild ständig aktualisieren", "&Update picture continuously",
     "&Atualizar imagem continuamente"},
};

constexpr LONG kControlSection = 30004;

class Store {
public:
    Store() {
        for (const Builtin &s : kControlStrings) {
            add(Language::German, "COM_", kControlSection, s.number, QString::fromUtf8(s.german));
            add(Language::English, "COM_", kControlSection, s.number, QString::fromUtf8(s.english));
            add(Language::Portuguese, "COM_", kControlSection, s.number,
                QString::fromUtf8(s.portuguese));
        }
    }

    void add(Language language, const QString &prefix, LONG section, LONG number,
             const QString &text) {
        std::lock_guard lock(m_mutex);
        m_strings[Key{language, prefix, section, number}] = text;
    }

    LanguageHandle open(Handle handle) {
        std::lock_guard lock(m_mutex);
        // Handles count up and are never reused, so a stale one stays invalid.
        if (m_next <= 0)
            m_next = 1;
        const LanguageHandle id = m_next++;
        m_handles.emplace(id, std::move(handle));
        return id;
    }

    bool close(LanguageHandle id) {
        std::lock_guard lock(m_mutex);
        return m_handles.erase(id) > 0;
    }

    std::optional<QString> find(LanguageHandle id, LONG section, LONG number) const {
        std::lock_guard lock(m_mutex);
        const auto h = m_handles.find(id);
        if (h == m_handles.end())
            return std::nullopt;
        for (Language language : {h->second.language, Language::English, Language::German}) {
            const auto it = m_strings.find(Key{language, h->second.prefix, section, number});
            if (it != m_strings.end())
                return it->second;
        }
        return std::nullopt;
    }

    bool valid(LanguageHandle id) const {
        std::lock_guard lock(m_mutex);
        return m_handles.count(id) > 0;
    }

private:
    mutable std::mutex m_mutex;
    std::map<Key, QString> m_strings;
    std::map<LanguageHandle, Handle> m_handles;
    LanguageHandle m_next = 1;
};

Store &store() {
    static Store instance;
    return instance;
}

// The string number a widget is keyed by, or nothing.
std::optional<LONG> numberOf(const QWidget &widget) {
    const QVariant property = widget.property("nlsNumber");
    if (property.isValid()) {
        bool ok = false;
        const int n = property.toInt(&ok);
        return ok ? std::optional<LONG>(n) : std::nullopt;
    }
    static const QRegularExpression pattern(QStringLiteral("(?:^|_)(\\d{1,9})$"));
    const auto match = pattern.match(widget.objectName());
    if (!match.hasMatch())
        return std::nullopt;
    return static_cast<LONG>(match.captured(1).toInt());
}

bool setText(QWidget &widget, const QString &text) {
    if (auto *button = qobject_cast<QAbstractButton *>(&widget)) {
        button->setText(text);
        return true;
    }
    if (auto *label = qobject_cast<QLabel *>(&widget)) {
        label->setText(text);
        return true;
    }
    if (auto *group = qobject_cast<QGroupBox *>(&widget)) {
        group->setTitle(text);
        return true;
    }
    if (widget.isWindow()) {
        widget.setWindowTitle(text);
        return true;
    }
    return false;
}

} // namespace

Language languageOf(LCID lcid) {
    switch (lcid & 0x3FF) {
    case 0x07:
        return Language::German;
    case 0x16:
        return Language::Portuguese;
    default:
        return Language::English;
    }
}

LanguageHandle talvorSetLanguage(LONG instance, const QString &module, LCID lcid,
                                 const QString &prefix) {
    return store().open(Handle{languageOf(lcid), prefix, module, instance});
}

QString talvorGetNLSString(LanguageHandle handle, LONG section, LONG number, bool *found) {
    const auto text = store().find(handle, section, number);
    if (found)
        *found = text.has_value();
    return text.value_or(QString());
}

LONG talvorTranslateDialog(LanguageHandle handle, QWidget *dialog, LONG section) {
    if (!dialog || !store().valid(handle))
        return -1;
    LONG translated = 0;
    auto translate = [&](QWidget &widget) {
        const auto number = numberOf(widget);
        if (!number)
            return;
        const auto text = store().find(handle, section, *number);
        if (text && setText(widget, *text))
            ++translated;
    };
    translate(*dialog);
    for (QWidget *child : dialog->findChildren<QWidget *>())
        translate(*child);
    return translated;
}

bool talvorFreeLanguage(LanguageHandle handle) {
    return store().close(handle);
}

void addString(Language language, const QString &prefix, LONG section, LONG number,
               const QString &text) {
    store().add(language, prefix, section, number, text);
}

} // namespace lingmod
