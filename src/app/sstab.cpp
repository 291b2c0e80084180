#include "sstab.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionTabWidgetFrame>
#include <QTabBar>

SSTab::SSTab(QWidget *parent) : QWidget(parent), tabBar_(new QTabBar(this))
{
    tabBar_->setObjectName(QStringLiteral("SSTab1Tabs"));
    tabBar_->setDrawBase(false);
    tabBar_->setExpanding(false);
    tabBar_->setFocusPolicy(Qt::TabFocus);
    // The tab strip takes the focus for the control; the control itself
    // holds no place of its own in the keyboard order.
    setFocusPolicy(Qt::NoFocus);
    connect(tabBar_, &QTabBar::currentChanged, this, &SSTab::showCurrentPage);
}

int SSTab::addTab(const QString &caption)
{
    pages_.append(nullptr);
    return tabBar_->addTab(caption);
}

void SSTab::setPage(int tab, QWidget *page)
{
    pages_[tab] = page;
    showCurrentPage();
}

int SSTab::currentIndex() const
{
    return tabBar_->currentIndex();
}

void SSTab::setCurrentIndex(int tab)
{
    tabBar_->setCurrentIndex(tab);
}

void SSTab::showCurrentPage()
{
    const int current = tabBar_->currentIndex();
    // Hide first, so the focus never lands on a page that is going away.
    for (int i = 0; i < pages_.size(); ++i) {
        if (pages_[i] && i != current)
            pages_[i]->hide();
    }
    if (current >= 0 && current < pages_.size() && pages_[current])
        pages_[current]->show();
}

void SSTab::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    tabBar_->setGeometry(0, 0, width(), kTabHeightPixels);
}

void SSTab::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = QRect(0, kTabHeightPixels - 1, width(), height() - kTabHeightPixels + 1);
    frame.shape = QTabBar::RoundedNorth;
    frame.tabBarSize = tabBar_->sizeHint();
    frame.tabBarRect = tabBar_->geometry();
    style()->drawPrimitive(QStyle::PE_FrameTabWidget, &frame, &painter, this);
}

void SSTab::keyPressEvent(QKeyEvent *event)
{
    const int count = tabBar_->count();
    const bool ctrl = event->modifiers() & Qt::ControlModifier;
    int step = 0;
    if (ctrl && (event->key() == Qt::Key_Tab || event->key() == Qt::Key_PageDown))
        step = 1;
    else if (ctrl && (event->key() == Qt::Key_Backtab || event->key() == Qt::Key_PageUp))
        step = -1;
    if (step == 0 || count == 0) {
        QWidget::keyPressEvent(event);
        return;
    }
    setCurrentIndex((currentIndex() + step + count) % count);
    event->accept();
}
