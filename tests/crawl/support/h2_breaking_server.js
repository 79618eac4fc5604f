// An HTTPS + HTTP/2 server on 127.0.0.1 that breaks its connection once, at request AT:
//   node h2_breaking_server.js CERT KEY MODE AT   (prints "port N")
// MODE reset: the TCP connection is cut; goaway: GOAWAY with an error, naming no stream as
// processed; rst: the stream is reset before its answer; midbody: the connection is cut once
// the answer began. /pN.jpg answers 20000 + 37 N bytes, byte i being (7 i + N) % 251.
'use strict';
const fs = require('fs');
const http2 = require('http2');
const [cert, key, mode, at] = process.argv.slice(2);
const {NGHTTP2_INTERNAL_ERROR} = http2.constants;
let requests = 0;
const sockets = new Map();  // a session lends only a guarded view of its socket
const server = http2.createSecureServer({cert: fs.readFileSync(cert), key: fs.readFileSync(key)});
server.on('secureConnection', (socket) => sockets.set(socket.remotePort, socket));
server.on('sessionError', () => {});
server.on('stream', (stream, headers) => {
  stream.on('error', () => {});
  const n = Number(/^\/p(\d+)\.jpg$/.exec(headers[':path'])[1]);
  const body = Buffer.alloc(20000 + n * 37).map((_, i) => (i * 7 + n) % 251);
  const cut = () => sockets.get(stream.session.socket.remotePort).destroy();
  if (++requests !== Number(at)) {
    stream.respond({':status': 200, 'content-length': body.length});
    stream.end(body);
  } else if (mode === 'reset') {
    cut();
  } else if (mode === 'goaway') {
    stream.session.goaway(NGHTTP2_INTERNAL_ERROR, 0);
    setTimeout(() => stream.session.destroy(), 20);
  } else if (mode === 'rst') {
    stream.close(NGHTTP2_INTERNAL_ERROR);
  } else if (mode === 'midbody') {
    stream.respond({':status': 200});
    stream.write(body.subarray(0, 1000), () => setTimeout(cut, 20));
  }
});
server.listen(0, '127.0.0.1', () => process.stdout.write(`port ${server.address().port}\n`));
