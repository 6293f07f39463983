# The installed headers: every header of the toolkit-free layers except the
# library's internal ones, plus the generated version header, and one
# umbrella header `pictavo.h` that includes them all.

# Headers used only inside the library (codec tables, checked readers, the
# TIFF codec's private structures).  No public header includes them.
set(PICTAVO_INTERNAL_HEADERS
  codecs/builtin_formats.h
  codecs/raster_common.h
  codecs/tiff_internal.h
  core/streamreader.h
  formats/codec_table.h
  io/codec_table.h)

# pictavo_public_headers(<out-var> <layers...>): paths relative to the source
# root, sorted.
function(pictavo_public_headers out)
  set(result)
  foreach(layer ${ARGN})
    file(GLOB_RECURSE headers RELATIVE ${CMAKE_SOURCE_DIR} CONFIGURE_DEPENDS
         ${CMAKE_SOURCE_DIR}/${layer}/*.h)
    list(APPEND result ${headers})
  endforeach()
  list(REMOVE_ITEM result ${PICTAVO_INTERNAL_HEADERS})
  list(SORT result)
  set(${out} ${result} PARENT_SCOPE)
endfunction()

# pictavo_write_umbrella(<file> <headers...>)
function(pictavo_write_umbrella file)
  set(text "// pictavo.h: every public header of the Pictavo library.\n#pragma once\n\n")
  string(APPEND text "#include \"core/pvversion.h\"\n")
  foreach(h ${ARGN})
    string(APPEND text "#include \"${h}\"\n")
  endforeach()
  file(CONFIGURE OUTPUT ${file} CONTENT "${text}")
endfunction()
