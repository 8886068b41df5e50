# nasfinder_public_headers(TARGET HEADER...): TARGET's public face. The listed headers (paths
# relative to the current source folder) appear, as links at their path in the source tree,
# under one include root that holds public headers only; TARGET exports that root and keeps the
# source tree for its own compilation. What links TARGET can include those headers and nothing
# else of the tree.
set(NASFINDER_PUBLIC_INCLUDE_DIR ${PROJECT_BINARY_DIR}/include)

function(nasfinder_public_headers target)
    foreach(header IN LISTS ARGN)
        set(source ${CMAKE_CURRENT_SOURCE_DIR}/${header})
        file(RELATIVE_PATH relative ${PROJECT_SOURCE_DIR} ${source})
        set(link ${NASFINDER_PUBLIC_INCLUDE_DIR}/${relative})
        get_filename_component(folder ${link} DIRECTORY)
        file(MAKE_DIRECTORY ${folder})
        file(CREATE_LINK ${source} ${link} SYMBOLIC)
    endforeach()
    target_include_directories(${target}
        PUBLIC $<BUILD_INTERFACE:${NASFINDER_PUBLIC_INCLUDE_DIR}>
        PRIVATE ${PROJECT_SOURCE_DIR})
endfunction()
