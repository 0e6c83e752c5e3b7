#include "ui/library/CopyCodeDialog.h"

#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPushButton>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QVariant>

#include "kavro/Deployment.h"
#include "ui/common/StyleSheet.h"
#include "ui/common/TitleBar.h"
#include "ui/common/Toast.h"

namespace {

// Token colours of the code style: tags, attribute names, attribute values, identifiers,
// function names, strings, numbers.
QString CodeTemplate()
{
    const QString span = QStringLiteral("<span style=\"font-size:14px; color:%1;\">%2</span>");
    auto t = [&](const char* colour, const QString& text) {
        return span.arg(QLatin1String(colour), text.toHtmlEscaped());
    };
    auto tag = [&](const QString& s) { return t("#800000", s); };
    auto attr = [&](const QString& s) { return t("#ff0000", s); };
    auto value = [&](const QString& s) { return t("#0000ff", s); };
    auto ident = [&](const QString& s) { return t("#001080", s); };
    auto func = [&](const QString& s) { return t("#795e26", s); };
    auto str = [&](const QString& s) { return t("#a31515", s); };
    auto num = [&](const QString& s) { return t("#098658", s); };
    auto plain = [&](const QString& s) { return t("#1f2329", s); };
    const QString indent = QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;");
    const QString player = QString::fromLatin1(kavro::deployment::kPlayerScriptUrl);
    const QString help = QString::fromLatin1(kavro::deployment::kPlaySafeHelpUrl);

    QStringList lines;
    lines << tag(QStringLiteral("<script")) + plain(QStringLiteral(" ")) +
                 attr(QStringLiteral("src")) + plain(QStringLiteral("=")) +
                 value(QLatin1Char('"') + player + QLatin1Char('"')) +
                 tag(QStringLiteral("></script>"));
    lines << tag(QStringLiteral("<div")) + plain(QStringLiteral(" ")) + attr(QStringLiteral("id")) +
                 plain(QStringLiteral("=")) + value(QStringLiteral("\"player\"")) +
                 tag(QStringLiteral("></div>"));
    lines << tag(QStringLiteral("<script>"));
    lines << indent + ident(QStringLiteral("var")) + plain(QStringLiteral(" ")) +
                 ident(QStringLiteral("player")) + plain(QStringLiteral(" = ")) +
                 func(QStringLiteral("kavroPlayer")) + plain(QStringLiteral("({"));
    lines << indent + indent + ident(QStringLiteral("wrap")) + plain(QStringLiteral(": ")) +
                 str(QStringLiteral("\"#player\"")) + plain(QStringLiteral(","));
    lines << indent + indent + ident(QStringLiteral("width")) + plain(QStringLiteral(": ")) +
                 num(QStringLiteral("800")) + plain(QStringLiteral(","));
    lines << indent + indent + ident(QStringLiteral("height")) + plain(QStringLiteral(": ")) +
                 num(QStringLiteral("533")) + plain(QStringLiteral(","));
    lines << indent + indent + ident(QStringLiteral("vid")) + plain(QStringLiteral(": ")) +
                 str(QStringLiteral("\"{{vid}}\"")) + plain(QStringLiteral(","));
    lines << indent + indent + ident(QStringLiteral("playsafe")) + plain(QStringLiteral(": ")) +
                 str(QStringLiteral("\"\"")) + plain(QStringLiteral(" ")) +
                 t("#008000", QStringLiteral("// playback token of encrypted videos: ") + help);
    lines << indent + plain(QStringLiteral("});"));
    lines << tag(QStringLiteral("</script>"));
    return QStringLiteral("<html><body style=\"font-family:'Courier New'; font-size:12pt;\">") +
           lines.join(QStringLiteral("<br>")) + QStringLiteral("</body></html>");
}

}  // namespace

QString CopyCodeDialog::CodeHtml(const QString& vid, const QString& fontFamily)
{
    QString html = CodeTemplate();
    if (!fontFamily.isEmpty()) {
        html.replace(QStringLiteral("font-family:'Courier New';"),
                     QStringLiteral("font-family:%1;").arg(fontFamily));
    }
    html.replace(QStringLiteral("{{vid}}"), vid.toHtmlEscaped());
    return html;
}

CopyCodeDialog::CopyCodeDialog(const QString& vid, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CopyCodeDialog"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setAttribute(Qt::WA_StyledBackground);
    setWindowTitle(tr("CopyCodeDialog.Title"));
    setStyleSheet(StyleSheet::Load(QStringLiteral("VideoListWidget.qss")));
    setModal(true);
    resize(820, 420);

    QVBoxLayout* layout = TitleBar::AddDialogFrame(this);

    auto* body = new QVBoxLayout;
    body->setContentsMargins(24, 8, 24, 0);
    body->setSpacing(16);
    textEdit = new QTextEdit(this);
    textEdit->setObjectName(QStringLiteral("textEdit"));
    textEdit->setReadOnly(true);
    textEdit->setAcceptRichText(true);
    textEdit->setLineWrapMode(QTextEdit::WidgetWidth);
    QString family;
    const QStringList families = QFontDatabase().families();
    if (families.contains(QStringLiteral("Consolas"))) {
        family = QStringLiteral("Consolas");
    } else if (families.contains(QStringLiteral("Microsoft YaHei"))) {
        family = QStringLiteral("'Microsoft YaHei'");
    }
    textEdit->setHtml(CodeHtml(vid, family));
    body->addWidget(textEdit, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    copyButton = new QPushButton(tr("CopyCodeDialog.Copy"), this);
    copyButton->setObjectName(QStringLiteral("copyButton"));
    copyButton->setProperty("Style", QStringLiteral("blue"));
    copyButton->setMinimumWidth(96);
    buttons->addWidget(copyButton);
    body->addLayout(buttons);
    layout->addLayout(body, 1);

    connect(copyButton, &QPushButton::clicked, this, &CopyCodeDialog::Copy);
}

QString CopyCodeDialog::PlainCode() const
{
    return textEdit->toPlainText();
}

void CopyCodeDialog::Copy()
{
    QApplication::clipboard()->setText(textEdit->toPlainText());
    Toast::ShowToastInParent(this, tr("CopyCodeDialog.Copied"), 0);
}
