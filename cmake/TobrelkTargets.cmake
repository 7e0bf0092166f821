# Build-wide settings that apply to every target of some folders: the targets are found here
# rather than listed, so that a new library or program cannot be left out.

# Sets <out> to the targets made under each of the given folders and their subfolders whose type
# matches <type_regex>.
function(tobrelk_targets_under out type_regex)
    set(found)
    foreach(dir ${ARGN})
        get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
        foreach(t ${targets})
            get_target_property(type ${t} TYPE)
            if(type MATCHES "${type_regex}")
                list(APPEND found ${t})
            endif()
        endforeach()
        get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
        if(subdirs)
            tobrelk_targets_under(below "${type_regex}" ${subdirs})
            list(APPEND found ${below})
        endif()
    endforeach()
    set(${out} ${found} PARENT_SCOPE)
endfunction()

# For a library the target opens at run time (cRuntimeLibrary) rather than links: its header for
# the types and signatures, and its installed version's name (libfoo.so.N) as
# TOBRELK_<prefix>_SONAME, from the package found as <prefix> by pkg-config.
function(tobrelk_opened_at_run_time target prefix)
    list(GET ${prefix}_LINK_LIBRARIES 0 lib)
    get_filename_component(real "${lib}" REALPATH)
    get_filename_component(file "${real}" NAME)
    string(REGEX REPLACE "^(.+\\.so\\.[0-9]+)(\\..*)?$" "\\1" soname "${file}")
    target_compile_definitions(${target} PRIVATE TOBRELK_${prefix}_SONAME="${soname}")
    target_include_directories(${target} SYSTEM PRIVATE ${${prefix}_INCLUDE_DIRS})
endfunction()
