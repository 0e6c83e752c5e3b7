#pragma once

#include <QTextBrowser>

#include "models/VidCollection.h"

// Collects up to 100 video ids for a batch search: typed (committed with Return or when the
// focus leaves), pasted or imported from files. Every accepted vid becomes a chip with a delete
// icon; Backspace right behind a chip removes it. Tips appear as toasts over the browser.
class VidTextBrowser : public QTextBrowser
{
    Q_OBJECT

public:
    explicit VidTextBrowser(QWidget* parent = nullptr);

    // Refused (false) when the vid is invalid, already listed or 100 are listed.
    bool AddVid(const QString& vid);
    bool RemoveVid(const QString& vid);
    QStringList Vids() const { return vids.Vids(); }
    int Count() const { return vids.Count(); }

    // Imports csv or text files; with report the tip of the whole import is shown once.
    VidCollection::Tally ImportFiles(const QStringList& paths, bool report);
    // Commits the text being typed as Return does; false when there was nothing to commit.
    bool CommitTypedText();

    // The tip text for the outcome of one round of offers.
    static QString ReportText(const VidCollection::Tally& tally);
    // The rich text of one chip.
    static QString ChipHtml(const QString& vid);

signals:
    void SignalCount(int count);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void dragEnterEvent(QDragEnterEvent* event) override;

private:
    void OnAnchorClicked(const QUrl& url);
    // Rebuilds the chips from the list and puts the typed text back behind them.
    void Render(const QString& typed);
    QString TypedText() const;
    QString ChipBeforeCursor() const;
    bool CommitText(const QString& text);
    void Tip(const QString& text);

    VidCollection vids;
};
