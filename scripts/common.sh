# Sourced by the build scripts: the repository root as working directory, the job count, and the one way every
# build directory is configured.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
jobs=$(nproc)

# configure <build dir> <cmake options...>
configure() {
  local build=$1
  shift
  cmake -S . -B "$build" -G Ninja "$@" >/dev/null
}

# The optimised build, the one a user installs: library, unit tests, benchmarks and host programs.
configure_release() {
  configure build/release -DCMAKE_BUILD_TYPE=Release
}
