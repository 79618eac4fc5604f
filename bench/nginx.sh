# Sourced by the benchmarks: serves a folder over HTTP on 127.0.0.1 with nginx.
# start_nginx SITE_FOLDER PORT WORK_FOLDER   (sets NGINX_PID; stop it with kill "$NGINX_PID")
start_nginx() {
  local site=$1 port=$2 work=$3
  chmod 755 "$work"  # nginx workers run as an unprivileged user
  mkdir -p "$work/nginx/logs"
  cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
events { worker_connections 256; }
http {
  access_log off;
  sendfile on;
  keepalive_requests 1000000;
  types { text/html html; image/jpeg jpg; image/png png; image/gif gif; }
  server { listen 127.0.0.1:$port; root $site; }
}
CONF
  nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" &
  NGINX_PID=$!
  for _ in $(seq 50); do curl -sf -o /dev/null "http://127.0.0.1:$port/" && return 0;
    curl -s -o /dev/null "http://127.0.0.1:$port/" && return 0; sleep 0.1; done
}
