// Decodes ROS 2 CDR payloads (encapsulation header included) with
// @foxglove/rosmsg2-serialization, the message definitions parsed by
// @foxglove/rosmsg from the Humble .msg texts in definitions.mjs, and
// prints one JSON line per file:
//   {"file": F, "type": T, "message": {...}}   or   {"file": F, "type": T, "error": "..."}
//
//   node decode.mjs TYPE FILE... [TYPE FILE...]...
//
// TYPE ("sensor_msgs/msg/CameraInfo") applies to the files after it. In the
// JSON, uint8[] fields are lower-case hex strings, other arrays lists of
// numbers, NaN and the infinities the strings "NaN", "Infinity" and
// "-Infinity". The packages come from the node_modules folder in
// $ROS_ORACLE_MODULES, or beside this script (see install.sh). Exit 0 when
// every file decoded, 1 when one did not, 2 on bad usage.
import { readFileSync } from "node:fs";
import { createRequire } from "node:module";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";

import { msgTexts } from "./definitions.mjs";

const moduleDir = resolve(process.env.ROS_ORACLE_MODULES ?? dirname(fileURLToPath(import.meta.url)));
const require = createRequire(join(moduleDir, "node_modules", "resolve-from-here.js"));
const { parse } = require("@foxglove/rosmsg");
const { MessageReader } = require("@foxglove/rosmsg2-serialization");

const primitives = new Set(["bool", "byte", "char", "float32", "float64", "int8", "uint8", "int16",
  "uint16", "int32", "uint32", "int64", "uint64", "string", "wstring"]);

// The message types `type`'s fields name, directly or through others, as
// "pkg/msg/Type" (a bare name is of the same package).
function dependencies(type, found = new Set()) {
  const pkg = type.split("/")[0];
  for (const line of msgTexts[type].split("\n")) {
    const field = line.trim().split(/\s+/)[0];
    if (!field || line.includes("=")) continue;
    const base = field.replace(/\[.*\]$/, "");
    if (primitives.has(base)) continue;
    const parts = base.split("/");
    const name = parts.length === 1 ? `${pkg}/msg/${base}` : `${parts[0]}/msg/${parts[parts.length - 1]}`;
    if (!found.has(name)) {
      found.add(name);
      dependencies(name, found);
    }
  }
  return found;
}

// The root type's text, then each type it depends on under its
// "MSG: pkg/Type" name, as the parser takes a message with its dependencies.
function definitionOf(type) {
  const parts = [msgTexts[type]];
  for (const name of dependencies(type)) {
    parts.push(`MSG: ${name.replace("/msg/", "/")}\n${msgTexts[name]}`);
  }
  return parse(parts.join("\n===\n"), { ros2: true });
}

function hex(bytes) {
  return Buffer.from(bytes.buffer, bytes.byteOffset, bytes.byteLength).toString("hex");
}

function plain(value) {
  if (value instanceof Uint8Array) return hex(value);
  if (ArrayBuffer.isView(value)) return Array.from(value, plain);
  if (Array.isArray(value)) return value.map(plain);
  if (typeof value === "number" && !Number.isFinite(value)) return String(value);
  if (typeof value === "bigint") return value.toString();
  if (value !== null && typeof value === "object") {
    return Object.fromEntries(Object.entries(value).map(([k, v]) => [k, plain(v)]));
  }
  return value;
}

const args = process.argv.slice(2);
if (args.length < 2 || !(args[0] in msgTexts)) {
  console.error(`usage: node decode.mjs TYPE FILE... [TYPE FILE...]...\ntypes: ${Object.keys(msgTexts).join(" ")}`);
  process.exit(2);
}
let type = null;
let reader = null;
let failed = false;
for (const arg of args) {
  if (arg in msgTexts) {
    type = arg;
    reader = new MessageReader(definitionOf(type));
    continue;
  }
  try {
    const message = reader.readMessage(readFileSync(arg));
    console.log(JSON.stringify({ file: arg, type, message: plain(message) }));
  } catch (e) {
    console.log(JSON.stringify({ file: arg, type, error: String(e.message ?? e) }));
    failed = true;
  }
}
// exitCode, not exit(): exit() would cut output still queued for a pipe.
process.exitCode = failed ? 1 : 0;
