// A dialog seam that answers at once and records what was asked.
#pragma once

#include "platform/ui/dialogs.h"

#include <QStringList>

struct RecordingDialogs : platform::ui::Dialogs {
    struct Message {
        QString text;
        QString title;
        int style;
    };
    std::vector<Message> messages;
    int beeps = 0;
    int answer = platform::ui::Ok;

    RecordingDialogs() { platform::ui::setDialogs(this); }
    ~RecordingDialogs() override { platform::ui::setDialogs(nullptr); }

    int messageBox(QWidget *, const QString &text, const QString &title, int style) override {
        messages.push_back({text, title, style});
        return answer;
    }
    void beep() override { ++beeps; }
    std::optional<QString> openFile(QWidget *, const platform::ui::FileDialogRequest &) override {
        return std::nullopt;
    }
    std::optional<QString> saveFile(QWidget *, const platform::ui::FileDialogRequest &) override {
        return std::nullopt;
    }
    std::optional<QColor> chooseColor(QWidget *, const QColor &) override { return std::nullopt; }
    int exec(QDialog &) override { return 0; }
};
