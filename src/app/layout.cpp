#include "layout.h"

const char kInstructionText[] =
    "Fill out the following information before submitting a page.  You only have to submit "
    "one page for your site and the engines will find the rest via links.  ";

const QList<ControlRow> &Form1Controls()
{
    using K = ControlRow;
    static const QList<ControlRow> rows = {
        {"SSTab1", K::TabControl, "Form1", -1, "", {0, 120, 10095, 4935}, 3},
        {"Frame1", K::Frame, "SSTab1", 0, "Site Information", {120, 480, 9855, 4215}, 14},
        {"Image1", K::Picture, "Frame1", -1, "", {1185, 240, 7500, 1500}, -1},
        {"Label7", K::Label, "Frame1", -1, kInstructionText, {120, 1800, 9495, 495}, 19},
        {"Label2", K::Label, "Frame1", -1, "Page URL:", {120, 2520, 1095, 255}, 17},
        {"url", K::TextField, "Frame1", -1, "", {1080, 2520, 8550, 285}, 0},
        {"Label5", K::Label, "Frame1", -1, "Your Name:", {120, 2880, 975, 255}, 16},
        {"name1", K::TextField, "Frame1", -1, "", {1080, 2880, 8550, 285}, 1},
        {"Label6", K::Label, "Frame1", -1, "Your e-mail:", {120, 3240, 855, 375}, 15},
        {"mail", K::TextField, "Frame1", -1, "", {1080, 3240, 8550, 285}, 2},
        {"Command11",
         K::PushButton,
         "Frame1",
         -1,
         "&Save As Favorites",
         {2880, 3840, 2175, 255},
         21},
        {"Command10", K::PushButton, "Frame1", -1, "&Load Favorites", {5160, 3840, 2175, 255}, 20},
        {"Command9", K::PushButton, "Frame1", -1, "Clear &All", {7440, 3840, 2175, 255}, 18},
        {"Frame2", K::Frame, "SSTab1", 1, "Submit to...", {120, 480, 9855, 4215}, 4},
        {"Command1", K::PushButton, "Frame2", -1, "&Google", {120, 240, 1455, 255}, 13},
        {"Command3", K::PushButton, "Frame2", -1, "&Altavista", {1680, 240, 1455, 255}, 11},
        {"Command5", K::PushButton, "Frame2", -1, "&MSN", {3240, 240, 1455, 255}, 9},
        {"Command7", K::PushButton, "Frame2", -1, "&Northern Light", {4800, 240, 1455, 255}, 7},
        {"Command12", K::PushButton, "Frame2", -1, "An&zwers", {6360, 240, 1455, 255}, 22},
        {"Command14", K::PushButton, "Frame2", -1, "Scr&ub the Web", {7920, 240, 1455, 255}, 24},
        {"Command2", K::PushButton, "Frame2", -1, "&Lycos", {120, 600, 1455, 255}, 12},
        {"Command4", K::PushButton, "Frame2", -1, "&Excite", {1680, 600, 1455, 255}, 10},
        {"Command6", K::PushButton, "Frame2", -1, "&Hotbot", {3240, 600, 1455, 255}, 8},
        {"Command8", K::PushButton, "Frame2", -1, "What u &Seek", {4800, 600, 1455, 255}, 6},
        {"Command13", K::PushButton, "Frame2", -1, "&Infomak", {6360, 600, 1455, 255}, 23},
        {"Command15", K::PushButton, "Frame2", -1, "Mage&llan", {7920, 600, 1455, 255}, 25},
        {"WebBrowser1", K::WebBrowser, "Frame2", -1, "", {120, 960, 9615, 3135}, 5},
    };
    return rows;
}
