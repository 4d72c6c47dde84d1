#include "qtprompter.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFontInfo>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdlib>
#include <limits>

using namespace Qt::StringLiterals;

namespace velmira {

namespace {

QMessageBox::StandardButton toQt(Prompter::Button button)
{
    switch (button) {
    case Prompter::Button::Ok:
        return QMessageBox::Ok;
    case Prompter::Button::Yes:
        return QMessageBox::Yes;
    case Prompter::Button::No:
        return QMessageBox::No;
    case Prompter::Button::Cancel:
        return QMessageBox::Cancel;
    }
    return QMessageBox::NoButton;
}

QMessageBox::Icon toQt(Prompter::Icon icon)
{
    switch (icon) {
    case Prompter::Icon::None:
        return QMessageBox::NoIcon;
    case Prompter::Icon::Information:
        return QMessageBox::Information;
    case Prompter::Icon::Warning:
        return QMessageBox::Warning;
    case Prompter::Icon::Question:
        return QMessageBox::Question;
    case Prompter::Icon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

// The sixteen colours of the font box's colour list, with their Russian names.
struct NamedColor
{
    const char16_t *name;
    QRgb rgb;
};

constexpr NamedColor FontColors[] = {
    {u"Чёрный", 0x000000},     {u"Тёмно-красный", 0x800000}, {u"Зелёный", 0x008000},
    {u"Оливковый", 0x808000},  {u"Тёмно-синий", 0x000080},   {u"Фиолетовый", 0x800080},
    {u"Сине-зелёный", 0x008080}, {u"Серый", 0x808080},      {u"Серебристый", 0xC0C0C0},
    {u"Красный", 0xFF0000},    {u"Салатовый", 0x00FF00},     {u"Жёлтый", 0xFFFF00},
    {u"Синий", 0x0000FF},      {u"Розовый", 0xFF00FF},       {u"Голубой", 0x00FFFF},
    {u"Белый", 0xFFFFFF},
};

} // namespace

QString qtFileFilter(const QString &filter)
{
    const QStringList parts = filter.split(u'|');
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        if (description.isEmpty())
            continue;
        QStringList patterns = parts[i + 1].split(u';', Qt::SkipEmptyParts);
        for (QString &pattern : patterns) {
            pattern = pattern.trimmed();
            if (pattern == u"*.*")
                pattern = u"*"_s;
        }
        // Qt reads the patterns from the last parentheses, which the file boxes hide
        // (FileDialogOptions): the user sees the description as written, "Все файлы (*.*)" included,
        // and one without patterns of its own shows them.
        QString shown = description;
        if (!shown.endsWith(u')'))
            shown += u" (%1)"_s.arg(parts[i + 1].trimmed().replace(u';', u' '));
        filters.append(u"%1 (%2)"_s.arg(shown, patterns.join(u' ')));
    }
    return filters.join(u";;"_s);
}

QFont fontForFontBox(const QFont &font)
{
    // The family the text is drawn with: a family that is not installed ("Times New Roman" on most
    // Linux desktops) is drawn with a stand-in, and the font box, not finding the name, would start on
    // its first family and give that back on OK.
    const QString family = QFontInfo(font).family();
    const bool italic = font.style() != QFont::StyleNormal;
    QString best;
    int bestDistance = std::numeric_limits<int>::max();
    for (const QString &style : QFontDatabase::styles(family)) {
        if (QFontDatabase::italic(family, style) != italic)
            continue;
        const int distance = std::abs(QFontDatabase::weight(family, style) - font.weight());
        if (distance < bestDistance) {
            best = style;
            bestDistance = distance;
        }
    }
    QFont named = font;
    named.setFamily(family);
    if (!best.isEmpty())
        named.setStyleName(best);
    return named;
}

Prompter::Button QtPrompter::message(QWidget *owner, const QString &caption, const QString &text, Icon icon,
                                     Buttons buttons, Button defaultButton)
{
    QString shown = text;
    shown.replace(u"\r\n"_s, u"\n"_s);
    QMessageBox box(toQt(icon), caption, shown, QMessageBox::NoButton, owner);
    box.setObjectName(u"MessageBox"_s);
    box.setTextFormat(Qt::PlainText);
    for (Button b : {Button::Ok, Button::Yes, Button::No, Button::Cancel}) {
        if (buttons.testFlag(b))
            box.addButton(toQt(b));
    }
    if (buttons.testFlag(defaultButton))
        box.setDefaultButton(toQt(defaultButton));
    if (buttons.testFlag(Button::Cancel))
        box.setEscapeButton(QMessageBox::Cancel);
    else if (buttons.testFlag(Button::No))
        box.setEscapeButton(QMessageBox::No);
    else
        box.setEscapeButton(QMessageBox::Ok);
    const int result = box.exec();
    switch (result) {
    case QMessageBox::Ok:
        return Button::Ok;
    case QMessageBox::Yes:
        return Button::Yes;
    case QMessageBox::No:
        return Button::No;
    default:
        break;
    }
    if (buttons.testFlag(Button::Cancel))
        return Button::Cancel;
    if (buttons.testFlag(Button::No))
        return Button::No;
    return Button::Ok;
}

int QtPrompter::choose(QWidget *owner, const QString &caption, const QString &text, Icon icon,
                       const QStringList &choices, int defaultChoice, int escapeChoice)
{
    Q_ASSERT(defaultChoice >= 0 && defaultChoice < choices.size());
    Q_ASSERT(escapeChoice >= 0 && escapeChoice < choices.size());
    QString shown = text;
    shown.replace(u"\r\n"_s, u"\n"_s);
    QMessageBox box(toQt(icon), caption, shown, QMessageBox::NoButton, owner);
    box.setObjectName(u"MessageBox"_s);
    box.setTextFormat(Qt::PlainText);
    QList<QPushButton *> buttons;
    for (qsizetype i = 0; i < choices.size(); ++i) {
        // Every button keeps its place in the order given: the escape button is the one rejecting, the
        // others act.
        auto *button =
            box.addButton(choices[i], i == escapeChoice ? QMessageBox::RejectRole : QMessageBox::AcceptRole);
        button->setObjectName(u"choice%1"_s.arg(i));
        // A screen reader says the text without the key mark.
        button->setAccessibleName(QString(choices[i]).remove(u'&'));
        buttons.append(button);
    }
    box.setDefaultButton(buttons[defaultChoice]);
    box.setEscapeButton(buttons[escapeChoice]);
    box.exec();
    const qsizetype pressed = buttons.indexOf(qobject_cast<QPushButton *>(box.clickedButton()));
    return pressed < 0 ? escapeChoice : int(pressed);
}

void QtPrompter::notify(QWidget *owner, const QString &caption, const QString &text, Icon icon)
{
    QString shown = text;
    shown.replace(u"\r\n"_s, u"\n"_s);
    auto *box = new QMessageBox(toQt(icon), caption, shown, QMessageBox::Ok, owner);
    box->setObjectName(u"MessageBox"_s);
    box->setTextFormat(Qt::PlainText);
    // Modal like every message box of the program, so that it can be answered while another dialog is
    // open; but shown without waiting, so that nothing stops behind it.
    box->setWindowModality(Qt::ApplicationModal);
    // The box goes when the user closes it, or with its owner at the end of the run.
    QObject::connect(box, &QDialog::finished, box, &QObject::deleteLater);
    box->show();
    box->raise();
    box->activateWindow();
}

QString QtPrompter::openFileName(QWidget *owner, const QString &title, const QString &filter,
                                 const QString &name)
{
    return QFileDialog::getOpenFileName(owner, title, name, qtFileFilter(filter), nullptr, FileDialogOptions);
}

QString QtPrompter::saveFileName(QWidget *owner, const QString &title, const QString &filter,
                                 const QString &name, int *chosenType)
{
    const QString types = qtFileFilter(filter);
    QString selected;
    // The commands ask about an existing file themselves where they have to.
    const QString chosen = QFileDialog::getSaveFileName(owner, title, name, types, &selected,
                                                        FileDialogOptions | QFileDialog::DontConfirmOverwrite);
    if (chosenType) {
        // The box names the type as it shows it: without the patterns it hides.
        const QStringList list = types.split(u";;"_s);
        const auto found = std::find_if(list.cbegin(), list.cend(), [&](const QString &type) {
            return type == selected || type.startsWith(selected + u" ("_s);
        });
        *chosenType = chosen.isEmpty() || found == list.cend() ? -1 : int(found - list.cbegin());
    }
    return chosen;
}

std::optional<Prompter::FontChoice> QtPrompter::chooseFont(QWidget *owner, const FontChoice &initial)
{
    // Qt's font box has no colour; ours adds the colour list below it.
    QDialog dialog(owner);
    dialog.setObjectName(u"FontDialog"_s);
    dialog.setWindowTitle(u"Шрифт"_s);
    auto *layout = new QVBoxLayout(&dialog);
    auto *fonts = new QFontDialog(fontForFontBox(initial.font), &dialog);
    fonts->setWindowFlags(Qt::Widget);
    fonts->setOptions(QFontDialog::NoButtons);
    layout->addWidget(fonts);

    auto *colorRow = new QFormLayout;
    auto *colors = new QComboBox(&dialog);
    colors->setObjectName(u"fontColor"_s);
    colors->setAccessibleName(u"Цвет"_s);
    int current = -1;
    for (const NamedColor &c : FontColors) {
        QPixmap swatch(16, 16);
        swatch.fill(QColor(c.rgb));
        colors->addItem(QIcon(swatch), QString::fromUtf16(c.name), QColor(c.rgb));
        if (initial.color.isValid() && initial.color.rgb() == (c.rgb | 0xFF000000u))
            current = colors->count() - 1;
    }
    if (current < 0 && initial.color.isValid()) {
        QPixmap swatch(16, 16);
        swatch.fill(initial.color);
        colors->addItem(QIcon(swatch), u"Другой (%1)"_s.arg(initial.color.name()), initial.color);
        current = colors->count() - 1;
    }
    colors->setCurrentIndex(std::max(current, 0));
    auto *colorLabel = new QLabel(u"&Цвет:"_s, &dialog);
    colorLabel->setBuddy(colors);
    colorRow->addRow(colorLabel, colors);
    layout->addLayout(colorRow);

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);

    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return FontChoice{fonts->currentFont(), colors->currentData().value<QColor>()};
}

} // namespace velmira
