#include "visual_styles.h"

#include "widgets/tool_tip_style.h"

#include <QApplication>
#include <QPalette>

namespace {

struct Look {
    int number;
    const char *name;
    const char *qtStyle;
    QRgb window, button, highlight, text;
};

// Each look approximates its namesake with a base colour scheme.
const Look kLooks[] = {
    {0, "Office 2003 Blue", "Fusion", 0xdbe8f9, 0xc4daf8, 0x3169c6, 0x000000},
    {1, "Office 2003 Silver", "Fusion", 0xeeeef4, 0xdcdce6, 0x6f7084, 0x000000},
    {2, "Office 2003 Olive", "Fusion", 0xf4f1e0, 0xe1e7c8, 0x7a8a3c, 0x000000},
    {3, "Office 2003 Classic", "Windows", 0xece9d8, 0xd4d0c8, 0x0a246a, 0x000000},
    {4, "Office 2007 Blue", "Fusion", 0xd5e4f2, 0xc2d8f0, 0x3d6aa2, 0x15428b},
    {9, "Office 2007 Silver", "Fusion", 0xeef0f3, 0xdde1e7, 0x5d6b7f, 0x000000},
    {5, "Office 2007 Black", "Fusion", 0x4f4f4f, 0x6a6a6a, 0xffc84a, 0xffffff},
    {6, "Windows XP", "Windows", 0xece9d8, 0xf3f1e5, 0x316ac5, 0x000000},
    {10, "Windows Vista", "Fusion", 0xf0f0f0, 0xe5eef8, 0x3399ff, 0x000000},
    {11, "Windows 7", "Fusion", 0xf0f0f0, 0xe6eef7, 0x3399ff, 0x000000},
    {16, "Windows 8", "Fusion", 0xf0f0f0, 0xe1e1e1, 0x0078d7, 0x000000},
    {20, "Windows 10", "Fusion", 0xffffff, 0xe1e1e1, 0x0078d7, 0x000000},
    {12, "Terminal", "Fusion", 0xf0f0f0, 0xe4e4e4, 0x2b579a, 0x000000},
    {13, "Office 2010 Blue", "Fusion", 0xcfddee, 0xdbe5f1, 0x3e6db5, 0x000000},
    {14, "Office 2010 Silver", "Fusion", 0xe9edf1, 0xf3f5f8, 0x5b6b80, 0x000000},
    {15, "Office 2010 Black", "Fusion", 0x6b6b6b, 0x8a8a8a, 0xf5c252, 0xffffff},
    {17, "Office 2013 White", "Fusion", 0xffffff, 0xf3f3f3, 0x2b579a, 0x000000},
    {18, "Office 2013 Light gray", "Fusion", 0xf3f3f3, 0xe6e6e6, 0x2b579a, 0x000000},
    {19, "Office 2013 Gray", "Fusion", 0xdedede, 0xd0d0d0, 0x2b579a, 0x000000},
    {21, "Office 2016 White", "Fusion", 0xffffff, 0xf1f1f1, 0x185abd, 0x000000},
    {22, "Office 2016 Gray", "Fusion", 0xc6c6c6, 0xd4d4d4, 0x185abd, 0x000000},
    {23, "Office 2016 Black", "Fusion", 0x363636, 0x4a4a4a, 0x3a96dd, 0xf0f0f0},
    {8, "Custom", "Fusion", 0xf5f5f0, 0xe8e8e0, 0x4a7a4a, 0x000000},
};

const Look *FindLook(int number) {
    for (const Look &look : kLooks)
        if (look.number == number)
            return &look;
    return nullptr;
}

QPalette PaletteOf(const Look &look) {
    const QColor window(look.window), button(look.button), text(look.text);
    const bool dark = window.lightness() < 128;
    QPalette palette(button, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::Text, dark ? QColor(Qt::white) : QColor(Qt::black));
    palette.setColor(QPalette::Base, dark ? window.darker(130) : QColor(Qt::white));
    palette.setColor(QPalette::AlternateBase, dark ? window.darker(115) : window.lighter(103));
    palette.setColor(QPalette::Highlight, QColor(look.highlight));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    palette.setColor(QPalette::ToolTipBase, QColor(0xffffe1));
    palette.setColor(QPalette::ToolTipText, Qt::black);
    return palette;
}

} // namespace

const QList<TzVisualStyle> &VisualStyles() {
    static const QList<TzVisualStyle> styles = [] {
        QList<TzVisualStyle> list;
        for (const Look &look : kLooks)
            list.append({look.number, QString::fromLatin1(look.name)});
        return list;
    }();
    return styles;
}

int VisualStyleIndex(int number) {
    const QList<TzVisualStyle> &styles = VisualStyles();
    for (int i = 0; i < styles.size(); ++i)
        if (styles[i].Number == number)
            return i;
    return -1;
}

bool ApplyVisualStyle(int number) {
    const Look *look = FindLook(number);
    if (!look)
        return false;
    SetBaseStyle(QString::fromLatin1(look->qtStyle));
    QApplication::setPalette(PaletteOf(*look));
    return true;
}
