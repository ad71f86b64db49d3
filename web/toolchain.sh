# Sourced by the browser build's scripts: puts Debian's emscripten in working order.
#
# emcc's JavaScript optimiser does require('acorn'), which Debian installs as node-acorn in
# its own Node.js module folder; a Node.js not built by Debian does not look there.
# Node.js 18+ has fetch(), and the loader emcc writes then fetches the .wasm by URL, which
# fails for a file path; without fetch it reads the file (configure's test programs and our
# checks run under node that way).

orvel_node_modules() {
  local pj
  pj=$(dpkg -L node-acorn 2>/dev/null | grep -m1 '/acorn/package\.json$' || true)
  if [ -n "$pj" ]; then
    dirname "$(dirname "$pj")"
  elif [ -d /usr/share/nodejs/acorn ]; then
    echo /usr/share/nodejs
  fi
}

orvel_web_env() {
  local mods
  mods=$(orvel_node_modules)
  if [ -z "$mods" ]; then
    echo "web: acorn not found; install node-acorn" >&2
    return 1
  fi
  case ":${NODE_PATH:-}:" in
    *":$mods:"*) ;;
    *) export NODE_PATH=$mods${NODE_PATH:+:$NODE_PATH} ;;
  esac
  case " ${NODE_OPTIONS:-} " in
    *" --no-experimental-fetch "*) ;;
    *)
      # Older Node.js has no fetch and rejects the flag.
      if node --no-experimental-fetch -e 0 2>/dev/null; then
        export NODE_OPTIONS="${NODE_OPTIONS:+$NODE_OPTIONS }--no-experimental-fetch"
      fi
      ;;
  esac
}
