# VELORIN_SANITIZE=address,undefined or thread instruments every target of the build.
if(VELORIN_SANITIZE)
  set(_flags -fsanitize=${VELORIN_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_compile_options(${_flags})
  add_link_options(-fsanitize=${VELORIN_SANITIZE})
endif()
