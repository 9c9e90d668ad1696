# Sourced by the bench scripts: a loopback nginx serving a folder.
#   write_nginx_conf WORK PORT [LOCATIONS]  writes WORK/nginx.conf serving
#     WORK/www on 127.0.0.1:PORT, with LOCATIONS (nginx lines) in its server;
#   start_nginx WORK  starts it in the foreground of a background job and
#     sets NGINX_PID.
write_nginx_conf() {
  local work=$1 port=$2 locations=${3:-}
  cat > "$work/nginx.conf" <<CONF
daemon off;
worker_processes 2;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 256; }
http {
  access_log off;
  sendfile on;
  client_body_temp_path $work/tmp-body;
  proxy_temp_path $work/tmp-proxy;
  fastcgi_temp_path $work/tmp-fcgi;
  uwsgi_temp_path $work/tmp-uwsgi;
  scgi_temp_path $work/tmp-scgi;
  server {
    listen 127.0.0.1:$port;
    root $work/www;
$locations
  }
}
CONF
}

start_nginx() {
  nginx -c "$1/nginx.conf" -p "$1" &
  NGINX_PID=$!
}
