#include "twips.h"

#include <cmath>

void TwipsGeometry::add(const QString &name, const TwipsRect &rect)
{
    rects_.insert(name, rect);
}

bool TwipsGeometry::set(const QString &name, float TwipsRect::*field, float value,
                        bool mayBeNegative)
{
    auto it = rects_.find(name);
    if (it == rects_.end() || !std::isfinite(value) || (value < 0 && !mayBeNegative))
        return false;
    (*it).*field = value;
    return true;
}

bool TwipsGeometry::SetLeft(const QString &name, float value)
{
    return set(name, &TwipsRect::Left, value, true);
}

bool TwipsGeometry::SetWidth(const QString &name, float value)
{
    return set(name, &TwipsRect::Width, value, false);
}

bool TwipsGeometry::SetHeight(const QString &name, float value)
{
    return set(name, &TwipsRect::Height, value, false);
}

void ApplyResizeRules(TwipsGeometry &g, float scaleWidth, float scaleHeight)
{
    const QString SSTab1 = QStringLiteral("SSTab1");
    const QString Frame1 = QStringLiteral("Frame1");
    const QString Frame2 = QStringLiteral("Frame2");
    const QString WebBrowser1 = QStringLiteral("WebBrowser1");
    const QString url = QStringLiteral("url");
    const QString name1 = QStringLiteral("name1");
    const QString mail = QStringLiteral("mail");
    const QString Command9 = QStringLiteral("Command9");
    const QString Command10 = QStringLiteral("Command10");
    const QString Command11 = QStringLiteral("Command11");
    const QString Image1 = QStringLiteral("Image1");
    const QString Label7 = QStringLiteral("Label7");

    // Each step stands alone: a refused one leaves the control as it was.
    g.SetWidth(SSTab1, scaleWidth);
    g.SetHeight(SSTab1, scaleHeight);
    g.SetWidth(Frame1, g.Width(SSTab1) - 240);
    g.SetWidth(Frame2, g.Width(SSTab1) - 240);
    g.SetHeight(Frame1, g.Height(SSTab1) - 720);
    g.SetHeight(Frame2, g.Height(SSTab1) - 720);
    g.SetWidth(WebBrowser1, g.Width(Frame2) - 240);
    g.SetHeight(WebBrowser1, g.Height(Frame2) - 1080);
    g.SetWidth(url, g.Width(Frame1) - 1305);
    g.SetWidth(name1, g.Width(Frame1) - 1305);
    g.SetWidth(mail, g.Width(Frame1) - 1305);
    g.SetLeft(Command9, g.Left(url) + g.Width(url) - 2175);
    g.SetLeft(Command10, g.Left(Command9) - 2280);
    g.SetLeft(Command11, g.Left(Command10) - 2280);
    g.SetLeft(Image1, g.Width(Frame1) / 2 - g.Width(Image1) / 2);
    g.SetWidth(Label7, g.Width(Frame1) - 360);
}
