#version 330
layout(std140) uniform Projection {
	mat4 mProjectionMatrix;
};
layout(std140) uniform Model {
	mat4 mModelViewMatrix;
	mat3 mNormalMatrix;
};
layout(std140) uniform Misc {
	vec2 vMapSize;
	float fNear;
	float fFar;
};
in vec4 vVertex;
in vec2 vTexCoord0;
in vec4 vColor;
in vec4 vPosition;
in float fSize;
in float fRotation;
out vec2 vTexCoord;
out vec4 vParticleColor;
out float fDepth;

float LinearizeDepth(float Depth) {
	return (2.0 * fNear) / (fFar + fNear - Depth * (fFar - fNear));
}

void main() {
	vec4 vCentre = mModelViewMatrix * vPosition;
	float c = cos(fRotation);
	float s = sin(fRotation);
	vec2 vCorner = vec2(vVertex.x * c + vVertex.y * s, -vVertex.x * s + vVertex.y * c) * fSize;  // clockwise for positive angles
	vTexCoord = vTexCoord0;
	vParticleColor = vColor;
	gl_Position = mProjectionMatrix * (vCentre + vec4(vCorner, 0.0, 0.0));
	fDepth = LinearizeDepth(gl_Position.z / gl_Position.w);
}
