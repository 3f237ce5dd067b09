# Sourced by the build scripts: compiles go through ccache, whose cache outlives checkouts, so a clean checkout on a
# machine that has built Tarn before recompiles nothing that did not change. Sets compiler_cache_options for cmake.
compiler_cache_options=()
if command -v ccache >/dev/null 2>&1; then
  if [ -z "${CCACHE_DIR:-}" ]; then
    # Beside the 32-bit runner when that place is writable, so both survive together; else the user's cache.
    if mkdir -p /var/cache/tarn/ccache 2>/dev/null && [ -w /var/cache/tarn/ccache ]; then
      export CCACHE_DIR=/var/cache/tarn/ccache
    fi
  fi
  # Hits across checkouts in different folders: paths below the checkout are hashed relative to it.
  export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
  export CCACHE_NOHASHDIR=1
  export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-3G}"
  compiler_cache_options=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
