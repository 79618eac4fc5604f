# Options dialog, manual viewer and About box.
set(_dlg ${CMAKE_CURRENT_LIST_DIR})
target_sources(srcore PRIVATE
    ${_dlg}/AboutFade.cpp ${_dlg}/AboutFade.h
    ${_dlg}/HelpLayout.cpp ${_dlg}/HelpLayout.h
    ${_dlg}/ManualText.cpp ${_dlg}/ManualText.h
    ${_dlg}/OptionRules.cpp ${_dlg}/OptionRules.h)
target_sources(srwidgets PRIVATE
    ${_dlg}/ListExtent.cpp ${_dlg}/ListExtent.h
    ${_dlg}/frmAbout.cpp ${_dlg}/frmAbout.h
    ${_dlg}/frmHelp.cpp ${_dlg}/frmHelp.h
    ${_dlg}/frmOption.cpp ${_dlg}/frmOption.h)
