# Shared by run.sh and test.sh: install what is missing, then build out of tree.
# Sourced, not executed.

TARVEX_PACKAGES=(cmake make g++ pkg-config qt6-base-dev qt6-serialport-dev qt6-svg-dev
                 libmodbus-dev tinyproxy socat openssl xvfb xauth fonts-dejavu-core
                 dpkg-dev desktop-file-utils poppler-utils file)

install_missing_packages() {
    local missing=()
    for pkg in "${TARVEX_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
            missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo apt-get update -q
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -q "${missing[@]}"
}

# build_tree <dir> [targets...]: everything, or only the targets named.
build_tree() {
    local build_dir=$1
    shift
    local targets=()
    for target in "$@"; do targets+=(--target "$target"); done
    cmake -S . -B "$build_dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
    cmake --build "$build_dir" -j"$(nproc)" "${targets[@]}"
}
