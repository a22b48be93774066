# Which folder of src/ may include which: run as a test with
#   cmake -DSOURCE_DIR=<repository> -P cmake/check_layers.cmake
# It fails, naming file and header, when an include runs against the
# layering of docs/architecture.md. A rule is: the files matched by a glob
# (in the folder and below it) must not include a header whose path starts
# with a match of a regular expression.

set(stages "common/(fields|protocolo|lista_eventos|result_json|reforma_tributaria|autenticidade)\\.hpp")
set(document_types "(nfe|cte)/")
set(callers "(entry|cli)/")

set(rules
  # values/ and xml/ know nothing of imports.
  "src/values/*" "(common|search|nfe|cte|entry|cli)/"
  "src/xml/*" "(common|search|nfe|cte|entry|cli)/"
  # The folder search never asks the course's stages, a document type or a caller.
  "src/search/*" "${stages}|${document_types}|${callers}"
  # What the search itself uses from the course includes nothing of the search.
  "src/common/import.*" "search/|${stages}|${document_types}"
  "src/common/exchange_file.*" "search/|${stages}|${document_types}"
  "src/common/messages.hpp" "search/|${stages}|${document_types}"
  "src/common/platform.hpp" "search/|${stages}|${document_types}"
  # The course serves both document types and every caller.
  "src/common/*" "platform/|${document_types}|${callers}"
  # The platforms implement the driver's interface; no stage, type or caller.
  "src/platform/*" "${stages}|${document_types}|${callers}"
  # Each document type stands on the course alone.
  "src/nfe/*" "cte/|platform/|${callers}"
  "src/cte/*" "nfe/|platform/|${callers}"
)

set(broken "")
list(LENGTH rules count)
math(EXPR last "${count} - 1")
foreach(i RANGE 0 ${last} 2)
  math(EXPR j "${i} + 1")
  list(GET rules ${i} glob)
  list(GET rules ${j} forbidden)
  file(GLOB_RECURSE files "${SOURCE_DIR}/${glob}")
  foreach(file IN LISTS files)
    file(STRINGS "${file}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(line IN LISTS includes)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*)\".*" "\\1" header "${line}")
      if(header MATCHES "^(${forbidden})")
        file(RELATIVE_PATH name "${SOURCE_DIR}" "${file}")
        string(APPEND broken "  ${name} includes ${header}\n")
      endif()
    endforeach()
  endforeach()
endforeach()

if(broken)
  message(FATAL_ERROR "includes against the layering:\n${broken}")
endif()
message(STATUS "the includes keep the layering")
