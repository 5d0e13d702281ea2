// The page's worker: loads the module once, then converts each file it is
// sent, so that the page stays responsive.
'use strict';

let ready = null;

self.onmessage = async (event) => {
  const message = event.data;
  if (message.type === 'init') {
    ready = loadMcaModule(message.wasm);
    return;
  }
  let reply;
  try {
    const result = await convertMca(await ready, new Uint8Array(message.bytes));
    reply = { id: message.id, ...result };
  } catch (error) {
    reply = { id: message.id, ok: false, error: String(error && error.message ? error.message : error) };
  }
  self.postMessage(reply, reply.preview ? [reply.preview.rgba.buffer] : []);
};
