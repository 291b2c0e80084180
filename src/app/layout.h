#pragma once

#include "twips.h"

#include <QList>

// The main window as designed: one row per control, in twips. Read once to
// build the window; the same values seed the resize rules.
struct ControlRow
{
    enum Kind
    {
        TabControl,
        Frame,
        Label,
        TextField,
        PushButton,
        Picture,
        WebBrowser
    };

    const char *name;
    Kind kind;
    const char *container; // "Form1", "SSTab1" (page given by tab), or a frame
    int tab;               // page of SSTab1 for the frames, else -1
    const char *caption;
    TwipsRect rect;
    int tabIndex; // -1: no place in the keyboard order
};

const QList<ControlRow> &Form1Controls();

// Client area of the main window as designed, in twips.
inline constexpr float kForm1ClientWidth = 10185;
inline constexpr float kForm1ClientHeight = 5220;

// Label7's instruction text, with its double spaces and trailing blanks.
extern const char kInstructionText[];
