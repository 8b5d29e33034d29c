# Corvane.ocx (target corvane): the tab control as an in-process COM server.
# Included by tabcontrol/CMakeLists.txt in the Windows tree only.
#
# The type library is compiled by widl, which needs stdole2.tlb for its
# importlib. The only copy on the build machines is the one inside Wine's
# stdole2 module (package wine32:i386), a PE file with the library as a
# resource; the raw library is cut out of it from its "MSFT" signature on.

set(CORVANE_SRC ${CMAKE_CURRENT_SOURCE_DIR}/win32)
set(CORVANE_GEN ${CMAKE_CURRENT_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${CORVANE_GEN})

find_program(CORVANE_WIDL NAMES i686-w64-mingw32-widl widl REQUIRED)
find_file(CORVANE_WINE_STDOLE2 stdole2.tlb
  PATHS /usr/lib/i386-linux-gnu/wine/i386-windows /usr/lib/wine/i386-windows /usr/lib32/wine/i386-windows
  NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
if(NOT CORVANE_WINE_STDOLE2)
  message(FATAL_ERROR "stdole2.tlb of Wine not found: install wine32:i386 (dpkg --add-architecture i386)")
endif()

add_custom_command(
  OUTPUT ${CORVANE_GEN}/stdole2.tlb
  COMMAND sh -c "offset=$(grep -obUa MSFT \"$0\" | head -n 1 | cut -d: -f1) && test -n \"$offset\" && tail -c +$((offset + 1)) \"$0\" > \"$1\""
          ${CORVANE_WINE_STDOLE2} ${CORVANE_GEN}/stdole2.tlb
  DEPENDS ${CORVANE_WINE_STDOLE2}
  COMMENT "Extracting stdole2.tlb from Wine's stdole2 module"
  VERBATIM)

add_custom_command(
  OUTPUT ${CORVANE_GEN}/corvane.tlb
  COMMAND ${CORVANE_WIDL} -t -L ${CORVANE_GEN} -o ${CORVANE_GEN}/corvane.tlb ${CORVANE_SRC}/corvane.idl
  DEPENDS ${CORVANE_SRC}/corvane.idl ${CORVANE_GEN}/stdole2.tlb
  COMMENT "Compiling the type library of Corvane.ocx"
  VERBATIM)

# windres is run directly rather than through the RC language: the tree's
# compile options (-Wall, -Werror, ...) are meant for the C++ compiler.
configure_file(${CORVANE_SRC}/corvane.rc.in ${CORVANE_GEN}/corvane.rc @ONLY)
add_custom_command(
  OUTPUT ${CORVANE_GEN}/corvane_rc.o
  COMMAND ${CMAKE_RC_COMPILER} --preprocessor=${CMAKE_C_COMPILER} --preprocessor-arg=-E
          --preprocessor-arg=-xc-header --preprocessor-arg=-DRC_INVOKED
          -I ${CORVANE_GEN} -O coff -i ${CORVANE_GEN}/corvane.rc -o ${CORVANE_GEN}/corvane_rc.o
  DEPENDS ${CORVANE_GEN}/corvane.rc ${CORVANE_GEN}/corvane.tlb
  COMMENT "Compiling the resources of Corvane.ocx"
  VERBATIM)
set_source_files_properties(${CORVANE_GEN}/corvane_rc.o PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)

add_library(corvane SHARED
  ${CORVANE_SRC}/connection_point.cpp
  ${CORVANE_SRC}/dispatch_support.cpp
  ${CORVANE_SRC}/module.cpp
  ${CORVANE_SRC}/registration.cpp
  ${CORVANE_SRC}/tab_accessible.cpp
  ${CORVANE_SRC}/tab_control.cpp
  ${CORVANE_SRC}/tab_control_ole.cpp
  ${CORVANE_SRC}/tab_objects.cpp
  ${CORVANE_SRC}/tab_painter.cpp
  ${CORVANE_SRC}/tab_view.cpp
  ${CORVANE_SRC}/corvane.def
  ${CORVANE_GEN}/corvane_rc.o)
set_target_properties(corvane PROPERTIES OUTPUT_NAME Corvane PREFIX "" SUFFIX ".ocx"
                                         RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR})
target_include_directories(corvane PRIVATE ${CORVANE_SRC})
target_link_libraries(corvane PRIVATE tabcontrol_layout oleacc comctl32 ole32 oleaut32 uuid gdi32 user32 advapi32)
# The exports are __stdcall (DllCanUnloadNow@0, ...); the .def names them undecorated.
target_link_options(corvane PRIVATE -Wl,--enable-stdcall-fixup -Wl,--kill-at $<$<CONFIG:Release,MinSizeRel>:-s>)

# Those who embed or register the module (res/, tests) use $<TARGET_FILE:corvane>, or this
# plain path where generator expressions are not evaluated (OBJECT_DEPENDS with Makefiles).
set(CORVANE_OCX_PATH ${CMAKE_CURRENT_BINARY_DIR}/Corvane.ocx CACHE INTERNAL "Path of the built Corvane.ocx")
