#include "fit_text.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QFontMetrics>
#include <QLabel>
#include <QRegularExpression>
#include <QStyle>
#include <QStyleOption>

#include <algorithm>
#include <cmath>

namespace {

QString shownText(const QString &caption)
{
    QString text = caption;
    text.remove(QRegularExpression(QStringLiteral("&(?!&)")));
    return text;
}

// The width the control needs to show its text whole in font.
int neededWidth(const QWidget *control, const QFont &font)
{
    const QFontMetrics metrics(font);
    if (auto *label = qobject_cast<const QLabel *>(control))
        return metrics.horizontalAdvance(label->text());
    if (auto *box = qobject_cast<const QCheckBox *>(control)) {
        QStyleOptionButton option;
        option.initFrom(box);
        const int indicator = box->style()->pixelMetric(QStyle::PM_IndicatorWidth, &option, box);
        const int spacing =
            box->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, &option, box);
        return indicator + spacing + metrics.horizontalAdvance(shownText(box->text())) + 2;
    }
    if (auto *button = qobject_cast<const QAbstractButton *>(control)) {
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin);
        return metrics.horizontalAdvance(shownText(button->text())) + margin;
    }
    return 0;
}

} // namespace

void FitTextToBoxes(const QList<QWidget *> &controls)
{
    if (controls.isEmpty())
        return;
    QFont font = controls.first()->font();
    // Text width grows about in proportion to the point size: start from the
    // size the narrowest fit asks for, then step down until all fit.
    double scale = 1.0;
    for (const QWidget *control : controls) {
        const int needed = neededWidth(control, font);
        if (needed > control->width())
            scale = std::min(scale, double(control->width()) / needed);
    }
    if (scale == 1.0)
        return;
    font.setPointSizeF(std::max(6.0, std::floor(font.pointSizeF() * scale * 2) / 2));
    auto fits = [&font](const QWidget *control) {
        return neededWidth(control, font) <= control->width();
    };
    while (!std::all_of(controls.begin(), controls.end(), fits) && font.pointSizeF() > 6.0)
        font.setPointSizeF(font.pointSizeF() - 0.5);
    for (QWidget *control : controls)
        control->setFont(font);
}
