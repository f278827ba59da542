# FLEETWARDEN_SANITIZE applies to every target of the tree, so that the core
# and the tests that link it are instrumented alike.
if(FLEETWARDEN_SANITIZE)
    add_compile_options(-fsanitize=${FLEETWARDEN_SANITIZE} -fno-omit-frame-pointer -g)
    add_link_options(-fsanitize=${FLEETWARDEN_SANITIZE})
    if(FLEETWARDEN_SANITIZE MATCHES "undefined")
        add_compile_options(-fno-sanitize-recover=undefined)
    endif()
endif()
