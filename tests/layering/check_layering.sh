#!/bin/bash
# The layering rules, checked on every source file the build knows (layers.txt,
# written by CMake: "target kind file allowed-targets" per line):
#  - a file includes project headers only from its own target or the targets its
#    CMakeLists names;
#  - portable code includes no platform header (SDL, X11, GLX/EGL, GTK/GDK,
#    cairo, windows.h) and no system header (POSIX's unistd.h, fcntl.h, sys/*,
#    signal.h, dlfcn.h, dirent.h...; the C runtime's io.h, direct.h): those are
#    the platform services' to use; OpenGL's only in the OpenGL backend;
#  - the targets form no cycle, neither in what they name nor in what they include;
#  - the Windows stand-in headers (engine/platform/win32/compat/) each take a name
#    that some file of the build includes, and nothing includes them by their
#    folder; the platform headers portable code may include are the device
#    interfaces that have such a stand-in, and the mixer's interface.
# Usage: check_layering.sh SOURCE_DIR LAYERS_FILE
set -u
src=$1
layers=$2
fail=0
compat=engine/platform/win32/compat
declare -A device_interface=([platform/mixer/Mixer.h]=1)
while IFS= read -r standin; do
  name=${standin#"$src/$compat/"}
  [[ $name == platform/* ]] && device_interface[$name]=1
  if ! cut -d' ' -f3 "$layers" | (cd "$src" && xargs grep -lqsE "^[[:space:]]*#[[:space:]]*include[[:space:]]*[<\"]$name[>\"]"); then
    echo "$compat/$name: no file of the build includes \"$name\""
    fail=1
  fi
done < <(find "$src/$compat" -name '*.h' | sort)
declare -A owner allowed kind
while read -r target k file deps; do
  owner[$file]=$target
  kind[$target]=$k
  allowed[$target]=",$target,${deps},"
done <"$layers"

edges=$(mktemp)
trap 'rm -f "$edges"' EXIT
# What each target names, as edges for the cycle test (the includes add theirs).
for target in "${!allowed[@]}"; do
  IFS=, read -ra named <<<"${allowed[$target]}"
  for dep in "${named[@]}"; do
    [[ -n $dep && $dep != "$target" ]] && echo "$dep $target" >>"$edges"
  done
done
platform_re='^<(SDL|SDL2/|X11/|GL/glx|EGL/|gtk/|gdk/|cairo|windows\.h|glib|unistd\.h|fcntl\.h|sys/|signal\.h|csignal|dlfcn\.h|pthread\.h|dirent\.h|pwd\.h|io\.h|direct\.h|shlobj\.h)'
while read -r target k file deps; do
  while IFS= read -r inc; do
    if [[ $inc =~ ^\"(.*)\"$ ]]; then
      name=${BASH_REMATCH[1]}
      header=engine/$name
      [[ -n ${owner[$header]:-} ]] || header=$name
      to=${owner[$header]:-}
      if [[ -z $to ]]; then
        echo "$file: includes \"$name\", which no target owns"
        fail=1
      elif [[ ${allowed[$target]} != *",$to,"* ]]; then
        echo "$file: includes \"$name\" from $to, which $target does not name"
        fail=1
      elif [[ $to != "$target" ]]; then
        echo "$to $target" >>"$edges"
      fi
      if [[ $name == *compat/* ]]; then
        echo "$file: includes the stand-in \"$name\" by its folder"
        fail=1
      fi
      if [[ $k == portable && $name == platform/*/* && -z ${device_interface[$name]:-} ]]; then
        echo "$file: portable code includes the platform header \"$name\""
        fail=1
      fi
    elif [[ $k == portable && $inc =~ $platform_re ]]; then
      echo "$file: portable code includes the platform header $inc"
      fail=1
    elif [[ $k == portable && $inc =~ ^\<GL/ && $target != engine_gl ]]; then
      echo "$file: only the OpenGL backend includes $inc"
      fail=1
    fi
  done < <(sed -n 's/^[[:space:]]*#[[:space:]]*include[[:space:]]*\([<"][^>"]*[>"]\).*/\1/p' "$src/$file")
done <"$layers"

if ! sort -u "$edges" | tsort >/dev/null 2>"$edges.err"; then
  echo "the targets depend on each other in a cycle:"
  cat "$edges.err"
  fail=1
fi
rm -f "$edges.err"
[[ $fail == 0 ]] && echo "layering: $(wc -l <"$layers") files checked, no violation"
exit $fail
