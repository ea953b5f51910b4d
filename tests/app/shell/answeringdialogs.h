// A dialog seam for tests: records every message box and beep and answers from a queue.
#pragma once

#include "platform/ui/dialogs.h"

#include <QDialog>
#include <deque>
#include <vector>

class AnsweringDialogs : public platform::ui::Dialogs {
public:
    struct Message {
        QString text;
        QString title;
        int style;
    };

    AnsweringDialogs() { platform::ui::setDialogs(this); }
    ~AnsweringDialogs() override { platform::ui::setDialogs(nullptr); }

    int messageBox(QWidget *, const QString &text, const QString &title, int style) override {
        messages.push_back({text, title, style});
        if (answers.empty())
            return platform::ui::Ok;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void beep() override { ++beeps; }
    std::optional<QString> openFile(QWidget *, const platform::ui::FileDialogRequest &r) override {
        openRequests.push_back(r);
        if (files.empty())
            return std::nullopt;
        auto f = files.front();
        files.pop_front();
        return f;
    }
    std::optional<QString> saveFile(QWidget *, const platform::ui::FileDialogRequest &r) override {
        saveRequests.push_back(r);
        if (saveFiles.empty())
            return std::nullopt;
        auto f = saveFiles.front();
        saveFiles.pop_front();
        return f;
    }
    std::optional<QColor> chooseColor(QWidget *, const QColor &initial) override {
        colorRequests.push_back(initial);
        if (colors.empty())
            return std::nullopt;
        const auto color = colors.front();
        colors.pop_front();
        return color;
    }
    int exec(QDialog &) override { return QDialog::Rejected; }

    std::vector<Message> messages;
    std::deque<int> answers;
    int beeps = 0;
    std::deque<std::optional<QColor>> colors;
    std::deque<std::optional<QString>> saveFiles;
    std::deque<std::optional<QString>> files; // answers of the open dialog
    std::vector<platform::ui::FileDialogRequest> openRequests;
    std::vector<platform::ui::FileDialogRequest> saveRequests;
    std::vector<QColor> colorRequests;
};
