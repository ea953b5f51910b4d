#include "app/shell/translateform.h"

#include "app/common/resources.h"
#include "app/common/settings.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QToolBar>
#include <QVariant>
#include <QWidget>
#include <optional>

namespace shell {

using namespace common;

namespace {

enum class Outcome { Skipped, Set, Failed };

// The text of a resource whose number is `design` read as a whole integer. An empty design
// text means "nothing to translate"; anything else that is no integer, or a number without
// a text, fails.
std::optional<QString> lookupDesign(const QString &design, Outcome &outcome) {
    const QString trimmed = design.trimmed();
    if (trimmed.isEmpty()) {
        outcome = Outcome::Skipped;
        return std::nullopt;
    }
    bool ok = false;
    const int number = trimmed.toInt(&ok);
    auto text = ok ? lookupRes(number) : std::nullopt;
    outcome = text ? Outcome::Set : Outcome::Failed;
    return text;
}

template <class Setter> Outcome translate(const QString &design, Setter &&set) {
    Outcome outcome = Outcome::Skipped;
    if (auto text = lookupDesign(design, outcome))
        set(*text);
    return outcome;
}

QString stringProperty(const QObject *object, const char *name) {
    const QVariant value = object->property(name);
    return value.isValid() ? value.toString() : QString();
}

// A widget's caption where it has one: buttons, group boxes, labels.
bool setCaption(QWidget *widget, const QString &text) {
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        button->setText(text);
    else if (auto *group = qobject_cast<QGroupBox *>(widget))
        group->setTitle(text);
    else if (auto *label = qobject_cast<QLabel *>(widget))
        label->setText(text);
    else
        return false;
    return true;
}

struct Counter {
    int failed = 0;
    void add(Outcome outcome) {
        if (outcome == Outcome::Failed)
            ++failed;
    }
};

void translateTabs(QTabBar *bar, Counter &counter) {
    for (int i = 0; i < bar->count(); ++i) {
        counter.add(translate(bar->tabText(i), [&](const QString &t) { bar->setTabText(i, t); }));
        counter.add(
            translate(bar->tabToolTip(i), [&](const QString &t) { bar->setTabToolTip(i, t); }));
    }
}

void translateHeaders(QAbstractItemView *view, Counter &counter) {
    QAbstractItemModel *model = view->model();
    if (!model)
        return;
    for (int c = 0; c < model->columnCount(); ++c) {
        const QString design = model->headerData(c, Qt::Horizontal, Qt::UserRole).toString();
        counter.add(translate(design, [&](const QString &t) {
            model->setHeaderData(c, Qt::Horizontal, t, Qt::DisplayRole);
        }));
    }
}

void translateOther(QWidget *widget, Counter &counter) {
    // Only numbers above 0 (leading-number rule) are looked up; the lookup itself then
    // needs a whole integer.
    const QString tag = stringProperty(widget, kTagProperty);
    if (leadingNumber(tag) > 0) {
        Outcome outcome = Outcome::Skipped;
        if (auto text = lookupDesign(tag, outcome))
            outcome = setCaption(widget, *text) ? Outcome::Set : Outcome::Failed;
        counter.add(outcome);
    }
    const QString tip = stringProperty(widget, kToolTipProperty);
    if (leadingNumber(tip) > 0)
        counter.add(translate(tip, [&](const QString &t) { widget->setToolTip(t); }));
}

void translateAction(QAction *action, Counter &counter) {
    if (action->isSeparator())
        return;
    bool inMenu = false;
    bool inToolBar = false;
    for (QObject *owner : action->associatedObjects()) {
        inMenu = inMenu || qobject_cast<QMenu *>(owner) || qobject_cast<QMenuBar *>(owner);
        inToolBar = inToolBar || qobject_cast<QToolBar *>(owner);
    }
    if (inMenu)
        counter.add(translate(action->text(), [&](const QString &t) { action->setText(t); }));
    if (inToolBar)
        counter.add(translate(action->toolTip(), [&](const QString &t) { action->setToolTip(t); }));
}

} // namespace

int TranslateForm(QWidget *form) {
    if (!form)
        return 0;
    Counter counter;
    counter.add(translate(stringProperty(form, kTagProperty),
                          [&](const QString &t) { form->setWindowTitle(t); }));

    for (QWidget *widget : form->findChildren<QWidget *>()) {
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            counter.add(translate(stringProperty(label, kTagProperty),
                                  [&](const QString &t) { label->setText(t); }));
        } else if (auto *bar = qobject_cast<QTabBar *>(widget)) {
            translateTabs(bar, counter);
        } else if (qobject_cast<QToolBar *>(widget) || qobject_cast<QMenu *>(widget) ||
                   qobject_cast<QMenuBar *>(widget) || qobject_cast<QHeaderView *>(widget)) {
            // Their texts are those of their actions and views, translated elsewhere.
        } else if (auto *view = qobject_cast<QAbstractItemView *>(widget)) {
            translateHeaders(view, counter);
        } else {
            translateOther(widget, counter);
        }
    }
    for (QAction *action : form->findChildren<QAction *>())
        translateAction(action, counter);
    return counter.failed;
}

} // namespace shell
