# Prints the MSI product code of a version: cmake -DVERSION=1.0.0 -P product-code.cmake
# A name-based (SHA-1) UUID in a namespace of this product's own, so a rebuilt MSI of the
# same version keeps its code (installing it again changes nothing) and each other
# version has another (which a major upgrade needs). No list of codes to keep.
if(NOT VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "product-code: VERSION must be MAJOR.MINOR.PATCH, not '${VERSION}'")
endif()
# What an MSI ProductVersion can hold; Windows Installer compares only these three fields.
string(REPLACE "." ";" _fields "${VERSION}")
list(GET _fields 0 _major)
list(GET _fields 1 _minor)
list(GET _fields 2 _patch)
if(_major GREATER 255 OR _minor GREATER 255 OR _patch GREATER 65535)
  message(FATAL_ERROR "product-code: ${VERSION} is beyond an MSI version (255.255.65535)")
endif()
string(UUID _code NAMESPACE 6d1c7f0a-3b52-4e0c-9a57-2f4b8e1d9c63 NAME "Zorflash x64 ${VERSION}"
       TYPE SHA1 UPPER)
execute_process(COMMAND ${CMAKE_COMMAND} -E echo "{${_code}}")
