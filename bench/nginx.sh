# Sourced by the benchmarks: serves a folder over HTTP on 127.0.0.1 with nginx.
# start_nginx SITE_FOLDER PORT WORK_FOLDER [MORE_SERVERS]   (sets NGINX_PID; stop it with
# kill "$NGINX_PID"). MORE_SERVERS: server blocks of nginx.conf served by the same nginx, such as
# those of tls_server and tls_proxy_server.
start_nginx() {
  local site=$1 port=$2 work=$3 more=${4:-}
  chmod 755 "$work"  # nginx workers run as an unprivileged user
  mkdir -p "$work/nginx/logs"
  cat > "$work/nginx/nginx.conf" <<CONF
worker_processes 1;
daemon off;
pid $work/nginx/nginx.pid;
error_log $work/nginx/logs/error.log;
events { worker_connections 1024; }
http {
  access_log off;
  sendfile on;
  keepalive_requests 1000000;
  types { text/html html; image/jpeg jpg; image/png png; image/gif gif; }
  server { listen 127.0.0.1:$port; root $site; }
$more
}
CONF
  nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" &
  NGINX_PID=$!
  for _ in $(seq 50); do curl -sf -o /dev/null "http://127.0.0.1:$port/" && return 0;
    curl -s -o /dev/null "http://127.0.0.1:$port/" && return 0; sleep 0.1; done
}

# make_test_ca FOLDER: a certificate for 127.0.0.1 that is its own authority, FOLDER/cert.pem
# with its key FOLDER/key.pem. Trusted by nothing but what is told to (see trusting).
make_test_ca() {
  mkdir -p "$1"
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 2 \
    -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 \
    -keyout "$1/key.pem" -out "$1/cert.pem" 2>/dev/null
}

# tls_server SITE PORT CERT_FOLDER: the server block serving SITE over HTTPS with HTTP/2.
tls_server() {
  echo "  server { listen 127.0.0.1:$2 ssl http2; root $1;"
  echo "    ssl_certificate $3/cert.pem; ssl_certificate_key $3/key.pem; }"
}

# tls_proxy_server PORT UPSTREAM_PORT CERT_FOLDER: HTTPS with HTTP/2 in front of a plain server.
tls_proxy_server() {
  echo "  upstream up$2 { server 127.0.0.1:$2; keepalive 256; }"
  echo "  server { listen 127.0.0.1:$1 ssl http2;"
  echo "    ssl_certificate $3/cert.pem; ssl_certificate_key $3/key.pem;"
  echo "    location / { proxy_pass http://up$2; proxy_http_version 1.1;"
  echo "      proxy_set_header Connection \"\"; } }"
}

# trusting CERT COMMAND...: runs COMMAND with CERT as the only authority in the system's bundle,
# in a mount namespace of its own: nothing outside it trusts the test certificate.
trusting() {
  local cert=$1
  shift
  local as_root=()
  [ "$(id -u)" -eq 0 ] || as_root=(-r)
  unshare "${as_root[@]}" -m sh -c \
    'mount --bind "$0" /etc/ssl/certs/ca-certificates.crt && exec "$@"' "$cert" "$@"
}
