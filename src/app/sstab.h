#pragma once

#include <QList>
#include <QWidget>

class QTabBar;

// The tab control: a strip of tabs along the top and, below it, one page per
// tab, of which only the current one is visible. Pages are ordinary child
// widgets placed by their owner; the control only shows and hides them.
// Ctrl+Tab, Ctrl+Shift+Tab, Ctrl+PageDown and Ctrl+PageUp switch tabs from
// anywhere inside, as in other tabbed dialogs.
class SSTab : public QWidget
{
    Q_OBJECT
public:
    explicit SSTab(QWidget *parent = nullptr);

    int addTab(const QString &caption);
    void setPage(int tab, QWidget *page);
    int currentIndex() const;
    void setCurrentIndex(int tab);
    QTabBar *tabBar() const { return tabBar_; }

    // Height of the tab strip: 520 HIMETRIC, about 295 twips or 20 pixels.
    static constexpr int kTabHeightPixels = 20;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void showCurrentPage();

    QTabBar *tabBar_;
    QList<QWidget *> pages_;
};
