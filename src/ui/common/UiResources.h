#pragma once

// The compiled-in images (":/image/<area>/..."). The widgets library is static, so the
// resource data is registered explicitly by the widgets that use it.
namespace UiResources {

// Registers the image resources once; later calls do nothing.
void Init();

}  // namespace UiResources
