#pragma once

#include "twips_rect.h"

#include <QHash>
#include <QString>

// The twips geometry of the main window's controls: the source of truth from
// which their pixel geometry is derived. Like the controls it stands for, it
// refuses a width or height that is negative or not a finite number (the
// control keeps its old value and the write reports false); a negative left
// is accepted.
class TwipsGeometry
{
public:
    void add(const QString &name, const TwipsRect &rect);
    bool contains(const QString &name) const { return rects_.contains(name); }
    TwipsRect rect(const QString &name) const { return rects_.value(name); }

    float Left(const QString &name) const { return rects_.value(name).Left; }
    float Width(const QString &name) const { return rects_.value(name).Width; }
    float Height(const QString &name) const { return rects_.value(name).Height; }

    bool SetLeft(const QString &name, float value);
    bool SetWidth(const QString &name, float value);
    bool SetHeight(const QString &name, float value);

private:
    bool set(const QString &name, float TwipsRect::*field, float value, bool mayBeNegative);

    QHash<QString, TwipsRect> rects_;
};

// The main window's resize rules: sixteen assignments, in order, each reading
// what the earlier ones actually left in place. A refused assignment is
// skipped and the rest go on. scaleWidth and scaleHeight are the client
// area's size in twips.
void ApplyResizeRules(TwipsGeometry &g, float scaleWidth, float scaleHeight);
