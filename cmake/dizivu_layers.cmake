# The build follows the layers of the sources. Each layer is a library of its own, and a
# library links only the layers to its left:
#   dizivu_core (link, commands) <- dizivu_app (app) <- dizivu_ui (ui)
#   <- one pair per screen folder <- dizivu_shell (shell) <- the dizivu program
# A screen folder says in its own CMakeLists.txt which of its files are operations
# (no widgets; dizivu-cli links them) and which are forms:
#   dizivu_screen_folder(scripts
#     OPERATIONS monitor.cpp script_runner.cpp ...
#     FORMS monitor_form.cpp screens.cpp ...)

# dizivu_screen_folder(FOLDER OPERATIONS files... FORMS files...)
# Makes dizivu_<folder> from the operations and, where Qt Widgets is present,
# dizivu_<folder>_forms from the forms.
function(dizivu_screen_folder folder)
  cmake_parse_arguments(A "" "" "OPERATIONS;FORMS" ${ARGN})
  if(A_OPERATIONS)
    add_library(dizivu_${folder} STATIC ${A_OPERATIONS})
    target_link_libraries(dizivu_${folder} PUBLIC dizivu_app)
    set_property(GLOBAL APPEND PROPERTY DIZIVU_OPERATION_LIBRARIES dizivu_${folder})
  endif()
  if(A_FORMS AND TARGET Qt6::Widgets)
    add_library(dizivu_${folder}_forms STATIC ${A_FORMS})
    target_link_libraries(dizivu_${folder}_forms PUBLIC dizivu_ui)
    if(A_OPERATIONS)
      target_link_libraries(dizivu_${folder}_forms PUBLIC dizivu_${folder})
    endif()
    set_property(GLOBAL APPEND PROPERTY DIZIVU_FORM_LIBRARIES dizivu_${folder}_forms)
  endif()
endfunction()
