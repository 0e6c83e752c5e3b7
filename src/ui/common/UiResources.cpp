#include "ui/common/UiResources.h"

#include <QCoreApplication>
#include <QFont>
#include <QStringList>

// Q_INIT_RESOURCE declares the resource's init function at block scope, which must resolve to
// the global namespace: keep this function out of any namespace.
static void InitResourceData()
{
    Q_INIT_RESOURCE(kavro);
}

namespace {

// The application font "Microsoft YaHei" exists only on Windows; elsewhere the first installed
// CJK family of this list stands in for it, so Chinese text never falls back to boxes.
void InstallFontSubstitutes()
{
    QFont::insertSubstitutions(
        QStringLiteral("Microsoft YaHei"),
        {QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
         QStringLiteral("Source Han Sans SC"), QStringLiteral("Droid Sans Fallback"),
         QStringLiteral("WenQuanYi Zen Hei")});
}

void InitOnStartup()
{
    UiResources::Init();
    InstallFontSubstitutes();
}

}  // namespace

// Runs when the application object is constructed, before any window exists.
Q_COREAPP_STARTUP_FUNCTION(InitOnStartup)

void UiResources::Init()
{
    static const bool done = (InitResourceData(), true);
    Q_UNUSED(done);
}
