-- The shared history of saves: every bench's rows in one table that benches
-- may append to and read, and nothing more. Run once per database by its
-- administrator (see shared-history-guide.md):
--
--     psql -v ON_ERROR_STOP=1 -d korvel -f korvel-shared-history.sql
--
-- It creates two roles without a login, korvel_owner (owns the table) and
-- korvel_bench (INSERT and SELECT only); give each bench or person a login
-- that is a member of korvel_bench. Running it again brings a database set up
-- by an older script up to date, keeping every row; in another database of
-- the same server it reuses the roles.

\set ON_ERROR_STOP on

BEGIN;
-- "does not exist, skipping" and the like on a first run are no news.
SET LOCAL client_min_messages = warning;

DO $$
BEGIN
    CREATE ROLE korvel_owner NOLOGIN;
EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
END $$;
DO $$
BEGIN
    CREATE ROLE korvel_bench NOLOGIN;
EXCEPTION WHEN duplicate_object OR unique_violation THEN NULL;
END $$;

-- Whoever runs this must be able to hand objects to korvel_owner: a
-- superuser is; a role with CREATEROLE (and not a superuser) becomes a member
-- here, or PostgreSQL refuses the schema below.
DO $$
BEGIN
    IF NOT pg_catalog.pg_has_role(current_user, 'korvel_owner', 'MEMBER') THEN
        EXECUTE pg_catalog.format('GRANT korvel_owner TO %I', current_user);
    END IF;
END $$;

CREATE SCHEMA IF NOT EXISTS korvel AUTHORIZATION korvel_owner;
SET LOCAL search_path = pg_catalog, pg_temp;

-- Where everyone may create objects in public (PostgreSQL 11 to 14), a login
-- could put its own clock_timestamp() or sha256() ahead of the real ones.
-- The functions below name pg_catalog first and call it by name; this closes
-- public to everyone else too.
REVOKE CREATE ON SCHEMA public FROM PUBLIC;

-- One row per local row of a bench: the bench's row as its history holds it,
-- and what the server adds (who sent it, when it came, its place in the
-- server's chain).
CREATE TABLE IF NOT EXISTS korvel.saves (
    seq bigint PRIMARY KEY,          -- the order of receipt, from 1, no gaps
    bench_id text NOT NULL,          -- the bench's random id, kept in its local history
    bench_name text NOT NULL,        -- its host name, or the name its configuration gives
    local_id bigint NOT NULL,        -- the row's id in the bench's history
    local_hash text NOT NULL,        -- the row's hash in the bench's chain
    kind text NOT NULL CHECK (kind IN ('attempt', 'outcome')),
    attempt bigint,                  -- an outcome's attempt row (local id)
    time text NOT NULL,              -- the bench's UTC time of the row
    operator text, host text, program text, port text, serial_number text,
    block_before bytea, frame bytea, clock_sync text, batch text,
    result text, acknowledged integer, read_back bytea, detail text,
    sent_by name NOT NULL,           -- session_user, set by the server
    received_at timestamptz NOT NULL, -- set by the server
    previous_hash text NOT NULL,
    hash text NOT NULL,
    UNIQUE (bench_id, local_id)
);
-- The hash of the row before this one in the bench's own chain: with it the
-- server recomputes local_hash. Empty in rows sent before it existed.
ALTER TABLE korvel.saves ADD COLUMN IF NOT EXISTS local_previous_hash text;
-- A serial number as the logger gave it, when that is no text PostgreSQL
-- can hold (a NUL byte, bytes that are not UTF-8); serial_number is then made
-- from it by the server, with such bytes escaped.
ALTER TABLE korvel.saves ADD COLUMN IF NOT EXISTS serial_number_bytes bytea;
ALTER TABLE korvel.saves OWNER TO korvel_owner;
CREATE INDEX IF NOT EXISTS saves_serial_number ON korvel.saves (serial_number);
CREATE INDEX IF NOT EXISTS saves_attempt ON korvel.saves (bench_id, attempt);

-- Each bench id belongs to the login that first sent a row with it; another
-- login cannot send rows under it (and so cannot take a bench's ids ahead of
-- it). Filled from the rows already held when the script is run again.
CREATE TABLE IF NOT EXISTS korvel.benches (
    bench_id text PRIMARY KEY,
    login name NOT NULL
);
ALTER TABLE korvel.benches OWNER TO korvel_owner;
INSERT INTO korvel.benches (bench_id, login)
    SELECT DISTINCT ON (bench_id) bench_id, sent_by FROM korvel.saves ORDER BY bench_id, seq
    ON CONFLICT (bench_id) DO NOTHING;

-- The two row formats (docs/manual.md, "The row formats"): each column with
-- its name, its kind and its length, so that no two different rows read the
-- same. Written out in one function each rather than through helpers: a
-- function with its own search_path is never inlined, and its setting costs
-- at every call. Every function names pg_catalog first in its search_path
-- and calls it by name, so that no login's own objects stand in for
-- PostgreSQL's.
DROP FUNCTION IF EXISTS korvel.field(text, text);
DROP FUNCTION IF EXISTS korvel.field(text, bigint);
DROP FUNCTION IF EXISTS korvel.field(text, bytea);
DROP FUNCTION IF EXISTS korvel.local_field(text, text);
DROP FUNCTION IF EXISTS korvel.local_field(text, bigint);
DROP FUNCTION IF EXISTS korvel.local_field(text, bytea);

-- The hash of a row of the server's chain: SHA-256 (PostgreSQL's own, no
-- extension) over the previous row's hash and every column but the hash
-- itself, blobs as hex.
CREATE OR REPLACE FUNCTION korvel.row_hash(r korvel.saves) RETURNS text
LANGUAGE sql STABLE SET search_path = pg_catalog, pg_temp AS $$
    SELECT pg_catalog.encode(pg_catalog.sha256(pg_catalog.convert_to(
        r.previous_hash || E'\nkorvel-shared-row/1\n'
        || 'seq=' || CASE WHEN r.seq IS NULL THEN 'null' ELSE 'int:' || r.seq END || E'\n'
        || 'bench_id=' || CASE WHEN r.bench_id IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.bench_id, 'UTF8')) || ':' || r.bench_id END || E'\n'
        || 'bench_name=' || CASE WHEN r.bench_name IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.bench_name, 'UTF8')) || ':' || r.bench_name END || E'\n'
        || 'local_id=' || CASE WHEN r.local_id IS NULL THEN 'null' ELSE 'int:' || r.local_id END || E'\n'
        || 'local_hash=' || CASE WHEN r.local_hash IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.local_hash, 'UTF8')) || ':' || r.local_hash END || E'\n'
        || 'kind=' || CASE WHEN r.kind IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.kind, 'UTF8')) || ':' || r.kind END || E'\n'
        || 'attempt=' || CASE WHEN r.attempt IS NULL THEN 'null' ELSE 'int:' || r.attempt END || E'\n'
        || 'time=' || CASE WHEN r.time IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.time, 'UTF8')) || ':' || r.time END || E'\n'
        || 'operator=' || CASE WHEN r.operator IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.operator, 'UTF8')) || ':' || r.operator END || E'\n'
        || 'host=' || CASE WHEN r.host IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.host, 'UTF8')) || ':' || r.host END || E'\n'
        || 'program=' || CASE WHEN r.program IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.program, 'UTF8')) || ':' || r.program END || E'\n'
        || 'port=' || CASE WHEN r.port IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.port, 'UTF8')) || ':' || r.port END || E'\n'
        || 'serial_number=' || CASE WHEN r.serial_number IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.serial_number, 'UTF8')) || ':' || r.serial_number END || E'\n'
        || 'block_before=' || CASE WHEN r.block_before IS NULL THEN 'null' ELSE 'blob:' || pg_catalog.length(r.block_before) || ':' || pg_catalog.encode(r.block_before, 'hex') END || E'\n'
        || 'frame=' || CASE WHEN r.frame IS NULL THEN 'null' ELSE 'blob:' || pg_catalog.length(r.frame) || ':' || pg_catalog.encode(r.frame, 'hex') END || E'\n'
        || 'clock_sync=' || CASE WHEN r.clock_sync IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.clock_sync, 'UTF8')) || ':' || r.clock_sync END || E'\n'
        || 'batch=' || CASE WHEN r.batch IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.batch, 'UTF8')) || ':' || r.batch END || E'\n'
        || 'result=' || CASE WHEN r.result IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.result, 'UTF8')) || ':' || r.result END || E'\n'
        || 'acknowledged=' || CASE WHEN r.acknowledged IS NULL THEN 'null' ELSE 'int:' || r.acknowledged END || E'\n'
        || 'read_back=' || CASE WHEN r.read_back IS NULL THEN 'null' ELSE 'blob:' || pg_catalog.length(r.read_back) || ':' || pg_catalog.encode(r.read_back, 'hex') END || E'\n'
        || 'detail=' || CASE WHEN r.detail IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.detail, 'UTF8')) || ':' || r.detail END || E'\n'
        || 'sent_by=' || 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.sent_by::text, 'UTF8')) || ':' || r.sent_by::text || E'\n'
        || 'received_at=' || 'text:' || pg_catalog.octet_length(pg_catalog.to_char(r.received_at AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.US"Z"')) || ':' || pg_catalog.to_char(r.received_at AT TIME ZONE 'UTC', 'YYYY-MM-DD"T"HH24:MI:SS.US"Z"') || E'\n',
        'UTF8')), 'hex')
$$;

-- The hash the bench's history file gives the row: from its local columns and
-- the hash of the bench's row before it, blobs as their bytes.
CREATE OR REPLACE FUNCTION korvel.local_row_hash(r korvel.saves) RETURNS text
LANGUAGE sql IMMUTABLE SET search_path = pg_catalog, pg_temp AS $$
    SELECT pg_catalog.encode(pg_catalog.sha256(
        pg_catalog.convert_to(r.local_previous_hash || E'korvel-history-row/1\n', 'UTF8')
        || pg_catalog.convert_to('id=' || CASE WHEN r.local_id IS NULL THEN 'null' ELSE 'int:' || r.local_id END || E'\n', 'UTF8')
        || pg_catalog.convert_to('kind=' || CASE WHEN r.kind IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.kind, 'UTF8')) || ':' || r.kind END || E'\n', 'UTF8')
        || pg_catalog.convert_to('attempt=' || CASE WHEN r.attempt IS NULL THEN 'null' ELSE 'int:' || r.attempt END || E'\n', 'UTF8')
        || pg_catalog.convert_to('time=' || CASE WHEN r.time IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.time, 'UTF8')) || ':' || r.time END || E'\n', 'UTF8')
        || pg_catalog.convert_to('operator=' || CASE WHEN r.operator IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.operator, 'UTF8')) || ':' || r.operator END || E'\n', 'UTF8')
        || pg_catalog.convert_to('host=' || CASE WHEN r.host IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.host, 'UTF8')) || ':' || r.host END || E'\n', 'UTF8')
        || pg_catalog.convert_to('program=' || CASE WHEN r.program IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.program, 'UTF8')) || ':' || r.program END || E'\n', 'UTF8')
        || pg_catalog.convert_to('port=' || CASE WHEN r.port IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.port, 'UTF8')) || ':' || r.port END || E'\n', 'UTF8')
        || CASE WHEN r.serial_number_bytes IS NOT NULL
                THEN pg_catalog.convert_to('serial_number=text:' || pg_catalog.length(r.serial_number_bytes) || ':', 'UTF8')
                     || r.serial_number_bytes || '\x0a'::bytea
                ELSE pg_catalog.convert_to('serial_number=' || CASE WHEN r.serial_number IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.serial_number, 'UTF8')) || ':' || r.serial_number END || E'\n', 'UTF8') END
        || CASE WHEN r.block_before IS NULL THEN pg_catalog.convert_to(E'block_before=null\n', 'UTF8')
                ELSE pg_catalog.convert_to('block_before=blob:' || pg_catalog.length(r.block_before) || ':', 'UTF8') || r.block_before || '\x0a'::bytea END
        || CASE WHEN r.frame IS NULL THEN pg_catalog.convert_to(E'frame=null\n', 'UTF8')
                ELSE pg_catalog.convert_to('frame=blob:' || pg_catalog.length(r.frame) || ':', 'UTF8') || r.frame || '\x0a'::bytea END
        || pg_catalog.convert_to('clock_sync=' || CASE WHEN r.clock_sync IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.clock_sync, 'UTF8')) || ':' || r.clock_sync END || E'\n', 'UTF8')
        || pg_catalog.convert_to('batch=' || CASE WHEN r.batch IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.batch, 'UTF8')) || ':' || r.batch END || E'\n', 'UTF8')
        || pg_catalog.convert_to('result=' || CASE WHEN r.result IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.result, 'UTF8')) || ':' || r.result END || E'\n', 'UTF8')
        || pg_catalog.convert_to('acknowledged=' || CASE WHEN r.acknowledged IS NULL THEN 'null' ELSE 'int:' || r.acknowledged END || E'\n', 'UTF8')
        || CASE WHEN r.read_back IS NULL THEN pg_catalog.convert_to(E'read_back=null\n', 'UTF8')
                ELSE pg_catalog.convert_to('read_back=blob:' || pg_catalog.length(r.read_back) || ':', 'UTF8') || r.read_back || '\x0a'::bytea END
        || pg_catalog.convert_to('detail=' || CASE WHEN r.detail IS NULL THEN 'null' ELSE 'text:' || pg_catalog.octet_length(pg_catalog.convert_to(r.detail, 'UTF8')) || ':' || r.detail END || E'\n', 'UTF8')), 'hex')
$$;

-- Every insert, whoever sends it, is checked and chained here: one append at
-- a time across all benches (the lock is held until the inserting
-- transaction ends), onto the last row, with the sender and the time set by
-- the server. It runs as korvel_owner, which alone may write korvel.benches;
-- session_user is still the bench's login.
CREATE OR REPLACE FUNCTION korvel.chain_row() RETURNS trigger
LANGUAGE plpgsql SECURITY DEFINER SET search_path = pg_catalog, pg_temp AS $$
DECLARE
    last record;
    held record;
    owner_login name;
BEGIN
    -- Each statement below must see the rows committed while it waited for
    -- the lock; a snapshot kept for the whole transaction would fork the chain.
    IF pg_catalog.current_setting('transaction_isolation') <> 'read committed' THEN
        RAISE EXCEPTION 'the shared history takes rows only at READ COMMITTED isolation';
    END IF;
    PERFORM pg_catalog.pg_advisory_xact_lock(7275638245810361922);
    SELECT b.login INTO owner_login FROM korvel.benches b WHERE b.bench_id = NEW.bench_id;
    IF NOT FOUND THEN
        INSERT INTO korvel.benches (bench_id, login) VALUES (NEW.bench_id, session_user);
    ELSIF owner_login <> session_user THEN
        RAISE EXCEPTION 'bench id % belongs to the login %; % may not send rows under it',
            NEW.bench_id, owner_login, session_user USING ERRCODE = 'insufficient_privilege';
    END IF;
    SELECT s.local_hash INTO held FROM korvel.saves s
        WHERE s.bench_id = NEW.bench_id AND s.local_id = NEW.local_id;
    IF FOUND THEN
        IF held.local_hash <> NEW.local_hash THEN
            RAISE EXCEPTION 'conflict: bench % already sent a different row %',
                NEW.bench_id, NEW.local_id USING ERRCODE = 'unique_violation';
        END IF;
        RETURN NULL; -- the same row again: taken once
    END IF;
    IF NEW.serial_number_bytes IS NOT NULL THEN
        NEW.serial_number :=
            pg_catalog.encode(pg_catalog.rtrim(NEW.serial_number_bytes, '\x00'::bytea), 'escape');
    END IF;
    IF NEW.local_previous_hash IS NULL THEN
        RAISE EXCEPTION 'rows must name their local previous hash: update Korvel on this bench';
    END IF;
    IF korvel.local_row_hash(NEW) <> NEW.local_hash THEN
        RAISE EXCEPTION 'row % of bench % does not match its hash: refused',
            NEW.local_id, NEW.bench_id USING ERRCODE = 'check_violation';
    END IF;
    SELECT s.local_hash INTO held FROM korvel.saves s
        WHERE s.bench_id = NEW.bench_id AND s.local_id < NEW.local_id
        ORDER BY s.local_id DESC LIMIT 1;
    IF FOUND AND held.local_hash <> NEW.local_previous_hash THEN
        RAISE EXCEPTION 'row % of bench % does not follow the bench''s row before it: refused',
            NEW.local_id, NEW.bench_id USING ERRCODE = 'check_violation';
    END IF;
    SELECT s.seq, s.hash INTO last FROM korvel.saves s ORDER BY s.seq DESC LIMIT 1;
    NEW.seq := coalesce(last.seq, 0) + 1;
    NEW.previous_hash := coalesce(last.hash, pg_catalog.repeat('0', 64));
    NEW.sent_by := session_user;
    NEW.received_at := pg_catalog.clock_timestamp();
    NEW.hash := korvel.row_hash(NEW);
    RETURN NEW;
END $$;

CREATE OR REPLACE FUNCTION korvel.refuse_change() RETURNS trigger
LANGUAGE plpgsql SET search_path = pg_catalog, pg_temp AS $$
BEGIN
    RAISE EXCEPTION 'the shared history is append-only: % refused', TG_OP;
END $$;

-- Made anew when the script is run again over an older schema.
DROP TRIGGER IF EXISTS saves_chain ON korvel.saves;
DROP TRIGGER IF EXISTS saves_no_update ON korvel.saves;
DROP TRIGGER IF EXISTS saves_no_delete ON korvel.saves;
DROP TRIGGER IF EXISTS saves_no_truncate ON korvel.saves;
CREATE TRIGGER saves_chain BEFORE INSERT ON korvel.saves
    FOR EACH ROW EXECUTE FUNCTION korvel.chain_row();
CREATE TRIGGER saves_no_update BEFORE UPDATE ON korvel.saves
    FOR EACH ROW EXECUTE FUNCTION korvel.refuse_change();
CREATE TRIGGER saves_no_delete BEFORE DELETE ON korvel.saves
    FOR EACH ROW EXECUTE FUNCTION korvel.refuse_change();
CREATE TRIGGER saves_no_truncate BEFORE TRUNCATE ON korvel.saves
    FOR EACH STATEMENT EXECUTE FUNCTION korvel.refuse_change();

ALTER FUNCTION korvel.row_hash(korvel.saves) OWNER TO korvel_owner;
ALTER FUNCTION korvel.local_row_hash(korvel.saves) OWNER TO korvel_owner;
ALTER FUNCTION korvel.chain_row() OWNER TO korvel_owner;
ALTER FUNCTION korvel.refuse_change() OWNER TO korvel_owner;

-- The benches: read everything, insert the columns a bench sends and no
-- others; no UPDATE, DELETE, TRUNCATE, nor anything in the schema.
REVOKE ALL ON SCHEMA korvel FROM PUBLIC;
REVOKE ALL ON korvel.saves FROM PUBLIC;
REVOKE ALL ON korvel.benches FROM PUBLIC;
GRANT USAGE ON SCHEMA korvel TO korvel_bench;
GRANT SELECT ON korvel.saves TO korvel_bench;
GRANT SELECT ON korvel.benches TO korvel_bench;
GRANT INSERT (bench_id, bench_name, local_id, local_hash, local_previous_hash, kind, attempt,
              time, operator, host, program, port, serial_number, serial_number_bytes,
              block_before, frame, clock_sync, batch, result, acknowledged, read_back, detail)
    ON korvel.saves TO korvel_bench;

COMMIT;
