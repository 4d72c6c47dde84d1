#include "qtprompter.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDatabase>
#include <QFontDialog>
#include <QFormLayout>
#include <QLabel>
#include <QMessageBox>
#include <QVBoxLayout>
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
        // Qt reads the patterns from the parentheses; a description that shows them already keeps its
        // own words, and the parentheses we add hold the patterns Qt uses.
        QString shown = description;
        const qsizetype open = shown.lastIndexOf(u'(');
        if (open > 0 && shown.endsWith(u')'))
            shown = shown.left(open).trimmed();
        filters.append(u"%1 (%2)"_s.arg(shown, patterns.join(u' ')));
    }
    return filters.join(u";;"_s);
}

QFont fontForFontBox(const QFont &font)
{
    const QString family = font.family();
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

QString QtPrompter::openFileName(QWidget *owner, const QString &title, const QString &filter,
                                 const QString &name)
{
    return QFileDialog::getOpenFileName(owner, title, name, qtFileFilter(filter));
}

QString QtPrompter::saveFileName(QWidget *owner, const QString &title, const QString &filter,
                                 const QString &name)
{
    // The commands ask about an existing file themselves where they have to.
    return QFileDialog::getSaveFileName(owner, title, name, qtFileFilter(filter), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
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
