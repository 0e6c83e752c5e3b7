#include "ui/common/UiResources.h"

#include <QtGlobal>

// Q_INIT_RESOURCE declares the resource's init function at block scope, which must resolve to
// the global namespace: keep this function out of any namespace.
static void InitResourceData()
{
    Q_INIT_RESOURCE(kavro);
}

void UiResources::Init()
{
    static const bool done = (InitResourceData(), true);
    Q_UNUSED(done);
}
