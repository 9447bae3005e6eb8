#pragma once
// The one window of the wizard: a banner over a stack of pages, exactly one of them visible.
// Next pushes a page (the earlier one stays, hidden, with its state); Back pops and destroys the
// later page. Enter and Escape are swallowed for every widget of the window; the close box asks
// before the application ends.

#include <QWidget>

class QStackedWidget;
class WizardPage;

class WizardWindow final : public QWidget {
    Q_OBJECT
public:
    WizardWindow();
    ~WizardWindow() override;

    void start(WizardPage* first);
    /// Shows next in place of the current page, which stays alive, hidden.
    void push(WizardPage* next);
    /// Destroys page (the current one) and shows the page before it as it was left.
    void pop(WizardPage* page);
    /// Destroys every page after target (the later first) and shows target as it was left.
    void popTo(WizardPage* target);
    WizardPage* currentPage() const;
    QList<WizardPage*> pages() const;

    /// Stops every page's workers (status "All thread Stopped" on those that were working), waits
    /// for them and quits the event loop.
    void endApplication();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QStackedWidget* stack_;
    bool ending_ = false;
};
