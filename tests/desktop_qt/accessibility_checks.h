// What the accessibility and keyboard tests ask of every window: each
// control has a name for assistive technologies, fields are named by their
// labels, mnemonics are unique, and Tab reaches every control in the order
// the window shows them.
#pragma once

#include <QAccessible>
#include <QAccessibleInterface>
#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QRect>
#include <QTest>
#include <QWidget>

#include <map>
#include <ostream>
#include <string>
#include <vector>

// Failures show texts as text.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace qm::test {

// A widget as a failure names it: its class and what it shows.
inline std::string Describe(QWidget* widget) {
    QString shown;
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) shown = button->text();
    if (const auto* label = qobject_cast<const QLabel*>(widget)) shown = label->text();
    if (shown.isEmpty()) shown = widget->objectName();
    return std::string(widget->metaObject()->className()) + " \"" + shown.toStdString() + "\"";
}

// Roles of controls a user works with or reads; containers, separators and
// the view's viewport (Client, Pane, Separator) are no controls of their
// own. Scroll bars are left out too: their role and orientation say what
// they are and the list they scroll is named.
inline bool NeedsName(const QAccessibleInterface& control, const QWidget& widget) {
    switch (control.role()) {
    case QAccessible::PushButton:
    case QAccessible::CheckBox:
    case QAccessible::RadioButton:
    case QAccessible::ComboBox:
    case QAccessible::EditableText:
    case QAccessible::SpinBox:
    case QAccessible::StaticText:
    case QAccessible::Graphic:
    case QAccessible::ProgressBar:
    case QAccessible::List:
    case QAccessible::Tree:
    case QAccessible::Table:
    case QAccessible::ToolBar:
    case QAccessible::StatusBar:
    case QAccessible::MenuBar:
    case QAccessible::ButtonMenu:
    case QAccessible::ButtonDropDown:
    case QAccessible::Grip:
    case QAccessible::Grouping:
    case QAccessible::Dialog:
    case QAccessible::Window:
        return true;
    case QAccessible::ScrollBar:
        return false;
    default:
        // Anything else that Tab reaches is a control as well.
        return (widget.focusPolicy() & Qt::TabFocus) != 0;
    }
}

// The visible controls of `window` (itself included) that need a name and
// have none, described.
inline std::vector<std::string> UnnamedControls(QWidget* window) {
    std::vector<std::string> unnamed;
    QWidgetList widgets = window->findChildren<QWidget*>();
    widgets.prepend(window);
    for (QWidget* widget : widgets) {
        if (!widget->isVisible() || widget->window() != window) continue;
        QAccessibleInterface* control = QAccessible::queryAccessibleInterface(widget);
        if (!control) {
            unnamed.push_back(Describe(widget) + " has no accessible interface");
            continue;
        }
        if (NeedsName(*control, *widget) && control->text(QAccessible::Name).trimmed().isEmpty()) {
            unnamed.push_back(Describe(widget) + " role " + std::to_string(control->role()));
        }
    }
    return unnamed;
}

// The name of the label Qt reports as the label of `field` (its buddy).
inline QString LabelOf(QWidget* field) {
    QAccessibleInterface* control = QAccessible::queryAccessibleInterface(field);
    if (!control) return {};
    for (const auto& [other, relation] : control->relations(QAccessible::Label)) {
        if (relation & QAccessible::Label) return other->text(QAccessible::Name);
    }
    return {};
}

// The mnemonic letter of `text` (upper case), or 0 without one ("&&" is a
// literal ampersand).
inline QChar Mnemonic(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != u'&') continue;
        if (text[i + 1] == u'&') {
            ++i;
            continue;
        }
        return text[i + 1].toUpper();
    }
    return QChar();
}

// Texts of `texts` without a mnemonic, and mnemonics used more than once.
struct MnemonicFaults {
    std::vector<std::string> missing;
    std::vector<std::string> repeated;
};
inline MnemonicFaults CheckMnemonics(const QStringList& texts) {
    MnemonicFaults faults;
    std::map<QChar, QString> seen;
    for (const QString& text : texts) {
        const QChar letter = Mnemonic(text);
        if (letter.isNull()) {
            faults.missing.push_back(text.toStdString());
            continue;
        }
        const auto [where, fresh] = seen.emplace(letter, text);
        if (!fresh) faults.repeated.push_back(where->second.toStdString() + " / " + text.toStdString());
    }
    return faults;
}

// The widgets Tab takes the focus to from `start`, in order, up to the first
// one reached twice; `window` must be the active window.
inline std::vector<QWidget*> TabChain(QWidget* window, QWidget* start) {
    std::vector<QWidget*> chain;
    start->setFocus(Qt::TabFocusReason);
    QWidget* current = QApplication::focusWidget();
    for (int step = 0; current && step < 100; ++step) {
        for (QWidget* seen : chain) {
            if (seen == current) return chain;
        }
        chain.push_back(current);
        QTest::keyClick(current, Qt::Key_Tab);
        current = QApplication::focusWidget();
        if (current && current->window() != window) break;
    }
    return chain;
}

// The controls of `window` that Tab should reach: shown, enabled, taking
// the focus by Tab.
inline std::vector<QWidget*> TabControls(QWidget* window) {
    std::vector<QWidget*> controls;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        if (widget->isVisible() && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus) &&
            !widget->focusProxy()) {
            controls.push_back(widget);
        }
    }
    return controls;
}

inline QRect RectIn(const QWidget* window, const QWidget* widget) {
    return QRect(widget->mapTo(window, QPoint(0, 0)), widget->size());
}

// Steps of `chain` that go against the reading order of the window: each
// next control must lie below the one before it (a new row) or to its right
// (the next control of the row, or a column of its own such as a button
// column); a step up and to the left, or back within a row, is a fault. The
// step from the last control back to the first is not one of them.
inline std::vector<std::string> ReadingOrderFaults(const QWidget* window, const std::vector<QWidget*>& chain) {
    std::vector<std::string> faults;
    for (size_t i = 1; i < chain.size(); ++i) {
        const QRect before = RectIn(window, chain[i - 1]);
        const QRect next = RectIn(window, chain[i]);
        const bool below = next.top() >= before.bottom();
        const bool right = next.left() >= before.right();
        if (!below && !right) faults.push_back(Describe(chain[i - 1]) + " -> " + Describe(chain[i]));
    }
    return faults;
}

}  // namespace qm::test
