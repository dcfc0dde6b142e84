# Spartan-Bold.ttf, the program's one font, is made at build time from the
# bold League Spartan face of Debian's fonts-league-spartan: converted to
# TrueType outlines and renamed to the family "Spartan". It is compiled in,
# with its licence, as the resource bundle orvel_fonts (library orvel_fonts,
# Q_INIT_RESOURCE(orvel_fonts)).
set(ORVEL_FONT_SOURCE /usr/share/fonts/opentype/league-spartan/LeagueSpartan-Bold.otf)
if(NOT EXISTS ${ORVEL_FONT_SOURCE})
  message(FATAL_ERROR "${ORVEL_FONT_SOURCE} is missing: install fonts-league-spartan (scripts/install-deps.sh)")
endif()
# The system interpreter has python3-fonttools; a private one may not.
find_program(ORVEL_FONT_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT ORVEL_FONT_PYTHON)
  find_program(ORVEL_FONT_PYTHON python3 REQUIRED)
endif()

set(_font_dir ${CMAKE_BINARY_DIR}/fonts)
set(_font ${_font_dir}/Spartan-Bold.ttf)
set(_licence ${CMAKE_SOURCE_DIR}/src/qml/fonts/OFL.txt)
file(MAKE_DIRECTORY ${_font_dir})
configure_file(${_licence} ${_font_dir}/Spartan-Bold-OFL.txt COPYONLY)
add_custom_command(
  OUTPUT ${_font}
  COMMAND ${ORVEL_FONT_PYTHON} ${CMAKE_SOURCE_DIR}/scripts/make_spartan_font.py ${ORVEL_FONT_SOURCE} ${_font}
  DEPENDS ${CMAKE_SOURCE_DIR}/scripts/make_spartan_font.py ${ORVEL_FONT_SOURCE}
  COMMENT "Making Spartan-Bold.ttf from League Spartan Bold"
  VERBATIM)
file(WRITE ${_font_dir}/orvel_fonts.qrc
     "<RCC>\n  <qresource prefix=\"/\">\n    <file>Spartan-Bold.ttf</file>\n"
     "    <file>Spartan-Bold-OFL.txt</file>\n  </qresource>\n</RCC>\n")
qt5_add_resources(_font_resources ${_font_dir}/orvel_fonts.qrc)
add_library(orvel_fonts STATIC ${_font_resources})
set_target_properties(orvel_fonts PROPERTIES AUTOMOC OFF AUTORCC OFF AUTOUIC OFF)
target_link_libraries(orvel_fonts PUBLIC Qt5::Core)
