#include "ui/library/VidTextBrowser.h"

#include <QDebug>
#include <QKeyEvent>
#include <QMimeData>
#include <QTextBlock>
#include <QTextCursor>

#include "models/VidRule.h"
#include "ui/common/Toast.h"
#include "ui/common/UiResources.h"

// Q_INIT_RESOURCE must resolve to the global namespace.
static void InitChipResources()
{
    Q_INIT_RESOURCE(edit);
}

namespace {

const QString kChip = QStringLiteral(
    "<div style='margin:6px 6px 6px 0px;'><span style='padding-left:2px;background-color: "
    "#F6F8FB; vertical-align: middle;'><font "
    "style='color:#668196;font-size:14px;font-weight:normal;vertical-align: "
    "middle;'>&nbsp;%1</font><a href='%2'><img src=':/image/videoList/icon_delete.png' "
    "width='14' height='14' style='vertical-align: middle;'></a></span></div>&nbsp;");

}  // namespace

VidTextBrowser::VidTextBrowser(QWidget* parent) : QTextBrowser(parent)
{
    UiResources::Init();
    static const bool chipResources = (InitChipResources(), true);
    Q_UNUSED(chipResources);
    setReadOnly(false);
    setAcceptRichText(true);
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setUndoRedoEnabled(false);
    // Editable, and the chips' delete icons still react to the mouse.
    setTextInteractionFlags(Qt::TextEditorInteraction | Qt::LinksAccessibleByMouse);
    setPlaceholderText(tr("Search Vids Tips"));
    connect(this, &QTextBrowser::anchorClicked, this, &VidTextBrowser::OnAnchorClicked);
}

QString VidTextBrowser::ChipHtml(const QString& vid)
{
    return kChip.arg(vid.toHtmlEscaped(), vid.toHtmlEscaped());
}

bool VidTextBrowser::AddVid(const QString& vid)
{
    if (vids.Add(vid) != VidCollection::Offer::Added) {
        return false;
    }
    Render(TypedText());
    emit SignalCount(vids.Count());
    return true;
}

bool VidTextBrowser::RemoveVid(const QString& vid)
{
    if (!vids.Remove(vid)) {
        return false;
    }
    Render(TypedText());
    emit SignalCount(vids.Count());
    return true;
}

VidCollection::Tally VidTextBrowser::ImportFiles(const QStringList& paths, bool report)
{
    VidCollection::Tally tally = vids.BeginTally();
    for (const QString& path : paths) {
        QString error;
        if (!vids.OfferFile(path, &tally, &error)) {
            qWarning() << "import vids failed:" << path << error;
        }
    }
    if (tally.added > 0) {
        Render(TypedText());
        emit SignalCount(vids.Count());
    }
    if (report) {
        Tip(ReportText(tally));
    }
    return tally;
}

QString VidTextBrowser::ReportText(const VidCollection::Tally& tally)
{
    switch (VidCollection::ReportOf(tally)) {
        case VidCollection::Report::SomeAndErrors:
            return tr("Input some vids, and some error vids").arg(tally.added).arg(tally.invalid);
        case VidCollection::Report::Some:
            return tr("Input some vids").arg(tally.added);
        case VidCollection::Report::Same:
            return tr("Input the same vids").arg(tally.same);
        case VidCollection::Report::None:
            return tr("Input none vids");
        case VidCollection::Report::MoreThanMax:
            break;
    }
    return tr("Input more than 100 vids ");
}

void VidTextBrowser::Render(const QString& typed)
{
    QString html;
    for (const QString& vid : vids.Vids()) {
        html += ChipHtml(vid);
    }
    setHtml(html);
    QTextCursor cursor(document());
    cursor.movePosition(QTextCursor::End);
    if (!typed.isEmpty()) {
        cursor.insertText(typed);
    }
    setTextCursor(cursor);
}

QString VidTextBrowser::TypedText() const
{
    const QString block = textCursor().block().text().trimmed();
    return block.split(QChar::ObjectReplacementCharacter).last().trimmed();
}

QString VidTextBrowser::ChipBeforeCursor() const
{
    const QTextCursor cursor = textCursor();
    if (cursor.hasSelection()) {
        return QString();
    }
    for (int pos = cursor.position(); pos > 0; --pos) {
        const QChar ch = document()->characterAt(pos - 1);
        if (ch == QChar::ObjectReplacementCharacter) {
            QTextCursor at(document());
            at.setPosition(pos);
            return at.charFormat().anchorHref();
        }
        if (!ch.isSpace()) {
            return QString();
        }
    }
    return QString();
}

bool VidTextBrowser::CommitTypedText()
{
    const QString typed = TypedText();
    return !typed.isEmpty() && CommitText(typed);
}

bool VidTextBrowser::CommitText(const QString& text)
{
    const QStringList tokens = VidRule::Split(text);
    if (tokens.isEmpty()) {
        return false;
    }
    if (tokens.size() == 1) {
        const QString& token = tokens.first();
        if (!VidRule::IsValid(token)) {
            Tip(tr("Input Correct Vid"));
            return true;
        }
        Render(QString());
        if (vids.IsFull()) {
            Tip(tr("Input more than 100 vids "));
        } else if (vids.Contains(token)) {
            Tip(tr("The Vid Exist"));
        } else {
            vids.Add(token);
            Render(QString());
            emit SignalCount(vids.Count());
        }
        return true;
    }
    VidCollection::Tally tally = vids.BeginTally();
    for (const QString& token : tokens) {
        vids.OfferToken(token, &tally);
    }
    Render(QString());
    if (tally.added > 0) {
        emit SignalCount(vids.Count());
    }
    Tip(ReportText(tally));
    return true;
}

void VidTextBrowser::Tip(const QString& text)
{
    Toast::ShowToastInParent(this, text);
}

void VidTextBrowser::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        if (CommitTypedText()) {
            event->accept();
            return;
        }
    } else if (event->key() == Qt::Key_Backspace) {
        const QString vid = ChipBeforeCursor();
        if (!vid.isEmpty()) {
            RemoveVid(vid);
            event->accept();
            return;
        }
    }
    QTextBrowser::keyPressEvent(event);
}

void VidTextBrowser::focusOutEvent(QFocusEvent* event)
{
    CommitTypedText();
    QTextBrowser::focusOutEvent(event);
}

bool VidTextBrowser::canInsertFromMimeData(const QMimeData* source) const
{
    return source->hasText() && !source->hasUrls();
}

void VidTextBrowser::insertFromMimeData(const QMimeData* source)
{
    if (!source->hasText()) {
        return;
    }
    // A pasted list is committed at once; a single piece waits for Return like typed text.
    const QString combined = TypedText() + source->text();
    if (VidRule::Split(combined).size() >= 2) {
        CommitText(combined);
    } else {
        insertPlainText(source->text());
    }
}

void VidTextBrowser::dragEnterEvent(QDragEnterEvent* event)
{
    // Dropped files belong to the dialog around the browser.
    if (event->mimeData()->hasUrls()) {
        event->ignore();
        return;
    }
    QTextBrowser::dragEnterEvent(event);
}

void VidTextBrowser::OnAnchorClicked(const QUrl& url)
{
    RemoveVid(url.toString());
}
