# The video edit dialog and the batch vid search, with the UI-free rules they stand on (the vid
# rule and collection, the own-cover checks). Included from src/CMakeLists.txt.
target_sources(kavro_core PRIVATE
    "${CMAKE_CURRENT_LIST_DIR}/../../models/CoverFileCheck.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/../../models/CoverFileCheck.h"
    "${CMAKE_CURRENT_LIST_DIR}/../../models/VidCollection.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/../../models/VidCollection.h"
    "${CMAKE_CURRENT_LIST_DIR}/../../models/VidRule.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/../../models/VidRule.h")
target_sources(kavro_ui PRIVATE
    "${CMAKE_CURRENT_LIST_DIR}/VidTextBrowser.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/VidTextBrowser.h"
    "${CMAKE_CURRENT_LIST_DIR}/VideoBatchSearchDialog.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/VideoBatchSearchDialog.h"
    "${CMAKE_CURRENT_LIST_DIR}/VideoEditDialog.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/VideoEditDialog.h"
    "${CMAKE_CURRENT_LIST_DIR}/VideoEditDialogForm.cpp"
    "${CMAKE_CURRENT_LIST_DIR}/VideoEditDialogForm.h"
    "${PROJECT_SOURCE_DIR}/resources/edit.qrc")
