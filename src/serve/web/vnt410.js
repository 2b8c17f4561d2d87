// vnt410.js: the VNT-410 card encoder for web pages, through the local `vnt410 serve`.
//
//   import * as Vnt410 from "http://127.0.0.1:8410/vnt410.js";
//   const enc = await Vnt410.connect("ws://127.0.0.1:8410/v1/jobs");
//   const end = await enc.run({op: "read", count: 1}, event => console.log(event));
//
// run() sends one job and resolves to its `end` event; the callback sees every event of the job.
// One job at a time per connection; cancel() and skip() act on the running or waiting job.

const here = new URL("/v1/jobs", import.meta.url);
here.protocol = here.protocol === "https:" ? "wss:" : "ws:";

export function connect(url = here.href) {
  return new Promise((resolve, reject) => {
    const socket = new WebSocket(url);
    socket.onopen = () => resolve(new Encoder(socket));
    socket.onerror = () => reject(new Error(`vnt410: cannot connect to ${url}`));
  });
}

let tags = 0;

class Encoder {
  #socket;
  #job = null;

  constructor(socket) {
    this.#socket = socket;
    socket.onmessage = (message) => {
      const event = JSON.parse(message.data);
      const job = this.#job;
      if (!job || event.id !== job.id) return;
      if (job.onEvent) job.onEvent(event);
      if (event.event === "end") {
        this.#job = null;
        job.resolve(event);
      }
    };
    socket.onclose = (close) => {
      const job = this.#job;
      this.#job = null;
      if (job) job.reject(new Error(`vnt410: the connection closed (${close.code})`));
    };
  }

  run(job, onEvent) {
    if (this.#job) return Promise.reject(new Error("vnt410: a job is running on this connection"));
    const id = job.id ?? `job-${++tags}`;
    return new Promise((resolve, reject) => {
      this.#job = { id, resolve, reject, onEvent };
      this.#socket.send(JSON.stringify({ ...job, id }));
    });
  }

  cancel() { this.#socket.send('{"cancel":true}'); }
  skip() { this.#socket.send('{"skip":true}'); }
  close() { this.#socket.close(); }
}
