// The find bar: a small glass strip over the text's top right with the query, its count ("3 of 120",
// "none", or why an expression is invalid), toggles for case and regular expressions, and the
// steps between matches. It drives a TerminalSearch and the view shows the matches; closing it
// takes the view back to where the user was.
#pragma once

#include <QFrame>
#include <QPointer>

class QLabel;
class QLineEdit;
class QToolButton;
class TerminalSearch;
class TerminalTextView;

class FindBar : public QFrame {
    Q_OBJECT
public:
    // Floats over `view`'s scroll area (its parent), searching the view's terminal.
    explicit FindBar(TerminalTextView& view, QWidget* parent);
    ~FindBar() override;

    // Shows the bar with the query selected, remembering where the view was.
    void open();
    // Hides the bar, clears the highlights and goes back to where the view was.
    void close();
    bool isOpen() const { return isVisible(); }
    TerminalSearch& search() const { return *search_; }
    QLineEdit* queryField() const { return query_; }
    QString countText() const;
    // The bar's place: the top right of the area it floats over.
    void place();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void queryChanged();
    void showCount();

    // The view goes first when the surface is torn down (it is the scroll area's older child).
    QPointer<TerminalTextView> view_;
    TerminalSearch* search_;
    QLineEdit* query_;
    QLabel* count_;
    QToolButton* matchCase_;
    QToolButton* regular_;
};
