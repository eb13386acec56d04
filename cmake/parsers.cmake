# The parsers kestal-tool's import reads XML and JSON with: rapidxml (Debian librapidxml-dev)
# and nlohmann-json (nlohmann-json3-dev), both header-only, so the MinGW builds compile them
# as they are. Their headers sit among the host's own system headers, which a cross build must
# never search (they would hide the cross compiler's C library headers): rapidxml is seen
# through its own folder, which holds nothing else, and nlohmann-json (whose headers include
# each other as <nlohmann/...>) through a folder of the build tree holding only a link to its
# folder. A toolchain's own copy (MSYS2's packages, say) is used first.
if(TARGET kestal_parsers)
  return()
endif()

find_path(KESTAL_RAPIDXML_DIR rapidxml.hpp PATH_SUFFIXES rapidxml)
if(NOT KESTAL_RAPIDXML_DIR)
  find_path(KESTAL_RAPIDXML_DIR rapidxml.hpp PATHS /usr/include/rapidxml /usr/local/include/rapidxml
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
endif()
if(NOT KESTAL_RAPIDXML_DIR)
  message(FATAL_ERROR "rapidxml.hpp not found: install librapidxml-dev (scripts/install-deps.sh)")
endif()

find_path(KESTAL_NLOHMANN_ROOT nlohmann/json.hpp)
if(KESTAL_NLOHMANN_ROOT AND NOT KESTAL_NLOHMANN_ROOT MATCHES "^/usr(/local)?/include$")
  set(KESTAL_NLOHMANN_DIR ${KESTAL_NLOHMANN_ROOT})
else()
  find_path(KESTAL_NLOHMANN_HOST nlohmann/json.hpp PATHS /usr/include /usr/local/include
            NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT KESTAL_NLOHMANN_HOST)
    message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev (scripts/install-deps.sh)")
  endif()
  set(KESTAL_NLOHMANN_DIR ${CMAKE_BINARY_DIR}/nlohmann-json)
  file(MAKE_DIRECTORY ${KESTAL_NLOHMANN_DIR})
  if(NOT EXISTS ${KESTAL_NLOHMANN_DIR}/nlohmann/json.hpp)
    file(CREATE_LINK ${KESTAL_NLOHMANN_HOST}/nlohmann ${KESTAL_NLOHMANN_DIR}/nlohmann SYMBOLIC RESULT linked)
    if(NOT linked EQUAL 0)
      file(COPY ${KESTAL_NLOHMANN_HOST}/nlohmann DESTINATION ${KESTAL_NLOHMANN_DIR})
    endif()
  endif()
endif()

add_library(kestal_parsers INTERFACE)
target_include_directories(kestal_parsers INTERFACE ${KESTAL_RAPIDXML_DIR} ${KESTAL_NLOHMANN_DIR})
