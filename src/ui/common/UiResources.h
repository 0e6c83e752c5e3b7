#pragma once

// The compiled-in images (":/image/<area>/...") and the font stand-ins. The widgets library is
// static, so the resource data is registered explicitly: at application start (this file's
// start-up function) and, for code that runs earlier, by the widgets that use it.
namespace UiResources {

// Registers the image resources once; later calls do nothing.
void Init();

}  // namespace UiResources
